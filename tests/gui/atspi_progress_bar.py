#!/usr/bin/env python3
"""Prints the value of the first progress bar that the process PID shows to
assistive technology, as a screen reader finds it over AT-SPI: by its role.
Exits 1 when the process has no accessible progress bar."""
import sys

import pyatspi


def main(pid):
    for application in pyatspi.Registry.getDesktop(0):
        if application is None:
            continue
        try:
            if application.get_process_id() != pid:
                continue
        except Exception:
            continue
        bar = pyatspi.findDescendant(application, lambda node: node.getRole() == pyatspi.ROLE_PROGRESS_BAR, True)
        if bar is not None:
            print(bar.queryValue().currentValue)
            return 0
    return 1


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1])))
