"""The project's tests; `tests.python.chk_builder` is the checkpoint builder that tools and benchmarks use too."""
