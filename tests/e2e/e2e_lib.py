"""The Python test kit under the name a test of tablica-convert still
imports: everything comes from tests/support/tablica_kit.py, nothing is
made here. New tests import tablica_kit (and xserver) themselves."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from tablica_kit import *  # noqa: E402,F401,F403
