import sys

from tesvarin.cli import main

sys.exit(main())
