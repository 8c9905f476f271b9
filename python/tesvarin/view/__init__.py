"""Pictures of a checkpoint: the notebook's table (`summary_html`, what ``Checkpoint._repr_html_`` shows)
and the interactive 3-D view of an orbital or a density (`view`, one self-contained HTML page; needs
plotly, the view extra)."""

from tesvarin.view.scene import View, view
from tesvarin.view.table import summary_html

__all__ = ["View", "summary_html", "view"]
