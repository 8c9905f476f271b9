"""The wavefunction for other programs: a PySCF molecule and SCF object, and the files (Molden, WFN, WFX,
XYZ) that IOData writes. Each needs its own optional extra (pyscf, iodata), imported where used."""
