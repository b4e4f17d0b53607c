#!/usr/bin/python3
# Recomputes, from a crash report's JSON, the binary-image lines and the backtrace lines of
# every thread as the plain (image offset) platform-style crash text shows them.
import json
import sys

def hex18(value):
    # C's "%#18lx": a zero prints as a bare "0".
    text = "0" if value == 0 else "0x%x" % value
    return text.rjust(18)

def arch(cpu_type, cpu_subtype):
    if cpu_type == 7:
        return "i386"
    if cpu_type == 12:
        return {6: "armv6", 9: "armv7", 10: "armv7f", 11: "armv7s", 12: "armv7k"}.get(cpu_subtype, "arm")
    if cpu_type == 0x1000007:
        return "x86_64"
    if cpu_type == 0x100000C:
        return "arm64e" if cpu_subtype == 2 else "arm64"
    return "unknown(%d,%d)" % (cpu_type, cpu_subtype)

def utf16_units(text):
    return len(text.encode("utf-16-le")) // 2

def main():
    report = json.load(open(sys.argv[1]))
    executable = report.get("system", {}).get("CFBundleExecutablePath")
    images = sorted(report.get("binary_images", []), key=lambda image: image.get("image_addr", 0))
    for image in images:
        address, size, name = image["image_addr"], image["image_size"], image["name"]
        print("%s - %s %s%s %s  <%s> %s" % (hex18(address), hex18(address + size - 1),
                                            "+" if name == executable else " ", name.rsplit("/", 1)[-1],
                                            arch(image["cpu_type"], image["cpu_subtype"]),
                                            image["uuid"].replace("-", "").lower(), name))
    for thread in report.get("crash", {}).get("threads", []):
        for n, frame in enumerate(thread.get("backtrace", {}).get("contents", [])):
            pc, base = frame.get("instruction_addr", 0), frame.get("object_addr", 0)
            image = frame.get("object_name")
            image = "(null)" if image is None else image.rsplit("/", 1)[-1]
            padded = image + " " * max(0, 35 - utf16_units(image))
            print("%-4d%s 0x%016x 0x%x + %d" % (n, padded, pc, base, pc - base))

main()
