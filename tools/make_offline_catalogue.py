#!/usr/bin/env python3
"""Writes the bundled offline catalogue: a version 4 and a version 3 device document for every
device of the app's device list, and an 80-date release list.

Standard library only, fixed seed: a rerun writes the same bytes. The hand-written documents
already in the catalogue (they carry the special cases the tests rely on) are kept as they are.

    tools/make_offline_catalogue.py [catalogue folder, default resources/catalogue]
"""

import json
import os
import random
import sys

SEED = 20231211

# The app's device list: display name and device identifier, in the list's order.
DEVICES = [
    ('iPhone 1', 'iPhone1,1'),
    ('iPhone 3G', 'iPhone1,2'),
    ('iPhone 3GS', 'iPhone2,1'),
    ('iPhone 4', 'iPhone3,1'),
    ('iPhone 4', 'iPhone3,2'),
    ('iPhone 4', 'iPhone3,3'),
    ('iPhone 4S', 'iPhone4,1'),
    ('iPhone 5', 'iPhone5,1'),
    ('iPhone 5', 'iPhone5,2'),
    ('iPhone 5c', 'iPhone5,3'),
    ('iPhone 5c', 'iPhone5,4'),
    ('iPhone 5s', 'iPhone6,1'),
    ('iPhone 5s', 'iPhone6,2'),
    ('iPhone 6', 'iPhone7,2'),
    ('iPhone 6 Plus', 'iPhone7,1'),
    ('iPhone 6s', 'iPhone8,1'),
    ('iPhone 6s Plus', 'iPhone8,2'),
    ('iPhone SE', 'iPhone8,4'),
    ('iPhone 7', 'iPhone9,1'),
    ('iPhone 7', 'iPhone9,3'),
    ('iPhone 7 Plus', 'iPhone9,2'),
    ('iPhone 7 Plus', 'iPhone9,4'),
    ('iPhone 8', 'iPhone10,1'),
    ('iPhone 8', 'iPhone10,4'),
    ('iPhone 8 Plus', 'iPhone10,2'),
    ('iPhone 8 Plus', 'iPhone10,5'),
    ('iPhone X', 'iPhone10,3'),
    ('iPhone X', 'iPhone10,6'),
    ('iPhone XR', 'iPhone11,8'),
    ('iPhone XS', 'iPhone11,2'),
    ('iPhone XS Max', 'iPhone11,4'),
    ('iPhone XS Max (China)', 'iPhone11,6'),
    ('iPhone 11', 'iPhone12,1'),
    ('iPhone 11 Pro', 'iPhone12,3'),
    ('iPhone 11 Pro Max', 'iPhone12,5'),
    ('iPhone SE (2020)', 'iPhone12,8'),
    ('iPhone 12 Mini', 'iPhone13,1'),
    ('iPhone 12', 'iPhone13,2'),
    ('iPhone 12 Pro', 'iPhone13,3'),
    ('iPhone 12 Pro Max', 'iPhone13,4'),
    ('iPhone 13 Mini', 'iPhone14,4'),
    ('iPhone 13', 'iPhone14,5'),
    ('iPhone 13 Pro', 'iPhone14,2'),
    ('iPhone 13 Pro Max', 'iPhone14,3'),
    ('iPad 1', 'iPad1,1'),
    ('iPad 2', 'iPad2,1'),
    ('iPad 2', 'iPad2,2'),
    ('iPad 2', 'iPad2,3'),
    ('iPad 2', 'iPad2,4'),
    ('iPad Mini 1', 'iPad2,5'),
    ('iPad Mini 1', 'iPad2,6'),
    ('iPad Mini 1', 'iPad2,7'),
    ('iPad 3', 'iPad3,1'),
    ('iPad 3', 'iPad3,3'),
    ('iPad 4', 'iPad3,4'),
    ('iPad 4', 'iPad3,5'),
    ('iPad 4', 'iPad3,6'),
    ('iPad Air 1', 'iPad4,1'),
    ('iPad Air 1', 'iPad4,2'),
    ('iPad Air 1', 'iPad4,3'),
    ('iPad Mini 2', 'iPad4,4'),
    ('iPad Mini 2', 'iPad4,5'),
    ('iPad Mini 2', 'iPad4,6'),
    ('iPad Mini 3', 'iPad4,7'),
    ('iPad Mini 3', 'iPad4,8'),
    ('iPad Mini 3', 'iPad4,9'),
    ('iPad Mini 4', 'iPad5,1'),
    ('iPad Mini 4', 'iPad5,2'),
    ('iPad Mini 5', 'iPad11,1'),
    ('iPad Mini 5', 'iPad11,2'),
    ('iPad Mini 6', 'iPad14,1'),
    ('iPad Mini 6', 'iPad14,2'),
    ('iPad Air 2', 'iPad5,3'),
    ('iPad Air 2', 'iPad5,4'),
    ('iPad Air 3', 'iPad11,3'),
    ('iPad Air 3', 'iPad11,4'),
    ('iPad Air 4 WiFi', 'iPad13,1'),
    ('iPad Air 4 WiFi+Cellular', 'iPad13,2'),
    ('iPad Pro 12.9-inch', 'iPad6,7'),
    ('iPad Pro 12.9-inch', 'iPad6,8'),
    ('iPad Pro 9.7-inch', 'iPad6,3'),
    ('iPad Pro 9.7-inch', 'iPad6,4'),
    ('iPad 5th Gen, 2017', 'iPad6,11'),
    ('iPad 5th Gen, 2017', 'iPad6,12'),
    ('iPad Pro 12.9-inch, 2017', 'iPad7,1'),
    ('iPad Pro 12.9-inch, 2017', 'iPad7,2'),
    ('iPad Pro 10.5-inch, 2017', 'iPad7,3'),
    ('iPad Pro 10.5-inch, 2017', 'iPad7,4'),
    ('iPad 6th Gen, 2018', 'iPad7,5'),
    ('iPad 6th Gen, 2018', 'iPad7,6'),
    ('iPad 7 (10.2-inch, WiFi)', 'iPad7,11'),
    ('iPad 7 (10.2-inch, Cellular)', 'iPad7,12'),
    ('iPad 8 (10.2-inch, Cellular)', 'iPad11,6'),
    ('iPad 8 (10.2-inch, WiFi)', 'iPad11,7'),
    ('iPad 8 (10.2-inch, Cellular)', 'iPad12,2'),
    ('iPad 8 (10.2-inch, WiFi)', 'iPad12,1'),
    ('iPad Pro 3 (11-inch, WiFi)', 'iPad8,1'),
    ('iPad Pro 3 (11-inch, WiFi, 1TB Model)', 'iPad8,2'),
    ('iPad Pro 3 (11-inch, Cellular)', 'iPad8,3'),
    ('iPad Pro 3 (11-inch, Cellular, 1TB Model)', 'iPad8,4'),
    ('iPad Pro 3 (12.9-inch, WiFi)', 'iPad8,5'),
    ('iPad Pro 3 (12.9-inch, WiFi, 1TB Model)', 'iPad8,6'),
    ('iPad Pro 3 (12.9-inch, Cellular)', 'iPad8,7'),
    ('iPad Pro 3 (12.9-inch, Cellular, 1TB Model)', 'iPad8,8'),
    ('iPad Pro (11-inch, 2020, WiFi)', 'iPad8,9'),
    ('iPad Pro (11-inch, 2020, Cellular)', 'iPad8,10'),
    ('iPad Pro (12.9-inch, 2020, WiFi)', 'iPad8,11'),
    ('iPad Pro (12.9-inch, 2020, Cellular)', 'iPad8,12'),
    ('iPad Pro 3th Gen (11-inch, WiFi)', 'iPad13,4'),
    ('iPad Pro 3th Gen (11-inch, Cellular)', 'iPad13,5'),
    ('iPad Pro 3th Gen (11-inch, WiFi)', 'iPad13,6'),
    ('iPad Pro 3th Gen (11-inch, Cellular)', 'iPad13,7'),
    ('iPad Pro 5th Gen (12.9-inch, WiFi)', 'iPad13,8'),
    ('iPad Pro 5th Gen (12.9-inch, Cellular)', 'iPad13,9'),
    ('iPad Pro 5th Gen (12.9-inch, WiFi)', 'iPad13,10'),
    ('iPad Pro 5th Gen (12.9-inch, Cellular)', 'iPad13,11'),
    ('iPod Touch 1', 'iPod1,1'),
    ('iPod Touch 2', 'iPod2,1'),
    ('iPod Touch 3', 'iPod3,1'),
    ('iPod Touch 4', 'iPod4,1'),
    ('iPod Touch 5', 'iPod5,1'),
    ('iPod Touch 6', 'iPod7,1'),
    ('iPod Touch 7', 'iPod9,1'),
    ('Apple TV 2G', 'AppleTV2,1'),
    ('Apple TV 3', 'AppleTV3,1'),
    ('Apple TV 3 (2013)', 'AppleTV3,2'),
    ('Apple TV 4 (2015)', 'AppleTV5,3'),
]

# Hand-written documents that the generator never overwrites (paths below the catalogue).
HAND_WRITTEN = {
    "api/ios/v4/device/iPhone12,1.json",
    "api/ios/v4/device/iPhone14,3.json",
    "api/ios/v4/device/iPad8,1.json",
    "api/ios/v3/device/iPhone12,1.json",
    "api/ios/v3/device/iPhone14,3.json",
    "api/ios/v4/releases.json",
    "jailbreaks.json",
}

RELEASES_80 = "api/ios/v4/releases-80.json"


def hex_digits(rng, count):
    return "".join(rng.choice("0123456789abcdef") for _ in range(count))


def iso_day(days):
    """The date `days` days after 2000-01-01, as YYYY-MM-DD (proleptic Gregorian)."""
    import datetime

    return (datetime.date(2000, 1, 1) + datetime.timedelta(days=days)).isoformat()


def build_timeline(rng):
    """Operating-system builds, newest first: (version, build id, release day number)."""
    timeline = []
    day = 8745  # 2023-12-11
    for major in range(17, 3, -1):
        minors = rng.randint(3, 7)
        for minor in range(minors, -1, -1):
            patches = [0] if rng.random() < 0.6 else [rng.randint(1, 3), 0]
            for patch in patches:
                version = "%d.%d" % (major, minor) if minor or patch else "%d.0" % major
                if patch:
                    version += ".%d" % patch
                letter = "ABCDEFGH"[min(minor, 7)]
                build = "%d%s%d" % (major + 4, letter, rng.randint(10, 399))
                timeline.append((version, build, day))
                day -= rng.randint(9, 45)
    return timeline


def firmware_common(rng, ident, version, build, day):
    stamp = iso_day(day) + "T%02d:%02d:00Z" % (rng.randint(0, 23), rng.randint(0, 59))
    size = rng.randint(1_500_000_000, 7_000_000_000)
    return {
        "version": version,
        "buildid": build,
        "sha1sum": hex_digits(rng, 40),
        "md5sum": hex_digits(rng, 32),
        "size": size if rng.random() < 0.2 else str(size),
        "url": "https://updates.example.net/restore/%s/%s_%s_%s_Restore.ipsw" % (build, ident, version, build),
        "releasedate": None if rng.random() < 0.15 else stamp,
        "uploaddate": stamp,
    }


def device_documents(rng, name, ident, timeline):
    count = rng.randint(3, 60)
    start = rng.randint(0, len(timeline) - count)
    builds = timeline[start:start + count]
    signed = min(rng.randint(0, 3), count)
    board = "%s%dAP" % ("JNKD"[rng.randint(0, 3)], rng.randint(10, 199))
    cpid = "0x%04x" % rng.choice([0x8960, 0x7000, 0x8010, 0x8015, 0x8020, 0x8030, 0x8101, 0x8110])
    bdid = "0x%02x" % rng.randint(0, 0x1e)
    platform = "t%s" % cpid[2:]
    v4_firmwares, v3_firmwares = [], []
    for index, (version, build, day) in enumerate(builds):
        common = firmware_common(rng, ident, version, build, day)
        is_signed = index < signed
        v4 = {"identifier": ident, "version": version, "buildid": build, "sha1sum": common["sha1sum"],
              "md5sum": common["md5sum"], "filesize": common["size"], "url": common["url"]}
        if common["releasedate"] is not None or rng.random() < 0.5:
            v4["releasedate"] = common["releasedate"]
        v4.update({"uploaddate": common["uploaddate"], "signed": is_signed})
        v4_firmwares.append(v4)
        v3 = {"version": version, "buildid": build,
              "filename": "%s_%s_%s_Restore.ipsw" % (ident, version, build), "sha1sum": common["sha1sum"],
              "md5sum": common["md5sum"], "size": common["size"], "url": common["url"],
              "releasedate": common["releasedate"], "uploaddate": common["uploaddate"], "signed": is_signed}
        v3_firmwares.append(v3)
    v4_doc = {"name": name, "identifier": ident, "boardconfig": board, "platform": platform, "cpid": cpid,
              "bdid": bdid, "firmwares": v4_firmwares}
    v3_doc = {ident: {"name": name, "BoardConfig": board, "platform": platform, "cpid": cpid, "bdid": bdid,
                      "firmwares": v3_firmwares}}
    return v4_doc, v3_doc


def release_list(rng, timeline):
    """80 dates, newest first, each with one to three releases."""
    dates = []
    for version, _build, day in timeline[:80]:
        stamp = iso_day(day) + "T%02d:00:00Z" % rng.randint(15, 20)
        major = int(version.split(".")[0])
        releases = [{"name": "iOS " + version, "type": "iOS", "date": stamp}]
        if major >= 13 and rng.random() < 0.8:
            releases.append({"name": "iPadOS " + version, "type": "iPadOS", "date": stamp})
        if rng.random() < 0.3:
            releases.append({"name": "tvOS " + version, "type": "tvOS", "date": stamp})
        for release in releases:
            count = rng.randint(1, 60)
            release["count"] = str(count) if rng.random() < 0.3 else count
        dates.append({"date": iso_day(day), "releases": releases})
    return dates


def write(root, relative, document):
    if relative in HAND_WRITTEN:
        return False
    path = os.path.join(root, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    text = json.dumps(document, indent=2, ensure_ascii=False) + "\n"
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(text)
    return True


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                         "resources", "catalogue")
    rng = random.Random(SEED)
    timeline = build_timeline(rng)
    written = 0
    for name, ident in DEVICES:
        v4_doc, v3_doc = device_documents(rng, name, ident, timeline)
        written += write(root, "api/ios/v4/device/%s.json" % ident, v4_doc)
        written += write(root, "api/ios/v3/device/%s.json" % ident, v3_doc)
    written += write(root, RELEASES_80, release_list(rng, timeline))
    print("wrote %d documents under %s" % (written, os.path.normpath(root)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
