"""pytest tests of the extension module and the package, with the checkpoint builder they share."""
