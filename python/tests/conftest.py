import os
import pathlib

import pytest

import fclib

ROOT = pathlib.Path(__file__).resolve().parents[2]
MODE = os.environ.get("FCLIB_TEST_MODE", "double")

# One number mode per test process (the setting is process-wide); the sample profile's eras.
fclib.set_number_mode(MODE)
fclib.set_profile_dir(ROOT / "profile")


@pytest.fixture(scope="session")
def context():
    return fclib.Context()


@pytest.fixture(scope="session")
def text_mode():
    return MODE == "text"
