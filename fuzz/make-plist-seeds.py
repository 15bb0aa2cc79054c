#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_legacy_preferences: preference files of the kinds an earlier
build left behind, each as an XML and as a binary property list."""

import datetime
import hashlib
import pathlib
import plistlib
import sys

SEEDS = [
    {},
    {"launchAtLogin": True, "historyLimit": 30, "panelOpacity": 0.85},
    {"hotkey.panel": "ctrl+shift+v", "定型文.最後のフォルダ": "挨拶", "empty": ""},
    {"windowFrame": b"\x00\x01\xfe\xff", "negative": -42, "huge": 2**63 - 1},
    {"recentFolders": ["仕事", "個人", 3, False], "nested": {"a": {"b": [1.5, b"x"]}}},
    {"lastUpdateCheck": datetime.datetime(2024, 3, 1, 9, 30, 0), "keyed": plistlib.UID(7)},
    {"legacyMigration.checked": False, "": "empty key", "nan": float("nan")},
]


def main() -> None:
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                       pathlib.Path(__file__).parent / "corpus" / "fuzz_legacy_preferences")
    out.mkdir(parents=True, exist_ok=True)
    for seed in SEEDS:
        for fmt in (plistlib.FMT_XML, plistlib.FMT_BINARY):
            try:
                data = plistlib.dumps(seed, fmt=fmt, sort_keys=False)
            except (TypeError, ValueError):
                continue  # XML has no UID
            (out / hashlib.sha1(data).hexdigest()).write_bytes(data)


if __name__ == "__main__":
    main()
