"""Many checkpoints as a dask.dataframe on a cluster: `tesvarin.export.dask`, under its short name."""

from tesvarin.export.dask import *  # noqa: F403
from tesvarin.export.dask import __all__ as __all__
