#!/usr/bin/env python3
"""Builds the guest for the end-to-end test: a Debian kernel and a small initramfs.

The initramfs holds busybox (static), the kernel modules for the xHCI host
controller, USB mass storage, SCSI disks and sg with everything they depend on,
the static raidcli, and /init (GUEST_INIT below). The kernel package is
downloaded once with apt-get and kept in the cache folder with the few files
taken from it; only the initramfs is rebuilt on every run, since raidcli
changes.
"""

import argparse
import gzip
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

# The modules the guest loads, in this order; their dependencies are loaded
# before each. scsi_debug gives the guest a non-USB SCSI disk that appears
# before the enclosure, so the disk-number mapping has to put USB disks first.
WANTED_MODULES = ["sd_mod", "sg", "scsi_debug", "xhci_pci", "usb_storage"]
MODULE_PARAMS = {
    # One small RAM disk on host 0; no partition table to scan.
    "scsi_debug": "dev_size_mb=4",
    # Attach the USB disk at once instead of after the default 1 s settle time.
    "usb_storage": "delay_use=0",
}

GUEST_INIT = r"""#!/bin/sh
# Guest side of the end-to-end test. Lines starting with "@@" are read by the
# host; everything else on the console is for people.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp
fail() { echo "@@FAIL $*"; poweroff -f; }

@MODULES@

# Wait for the non-USB disk first, so the USB disk is not the only candidate.
usb_disk() {
    for b in /sys/block/sd*; do
        [ -e "$b/device" ] || continue
        case "$(readlink -f "$b/device")" in */usb[0-9]*) echo "${b##*/}"; return 0;; esac
    done
    return 1
}
i=0
until disk=$(usb_disk); do
    i=$((i + 1)); [ $i -lt 300 ] || fail "no USB disk appeared"
    sleep 0.1
done
# Opening the disk waits for the kernel's partition scan to finish, so every
# read of that scan is in the backend's log before the host marks its end.
: < "/dev/$disk" || fail "cannot open /dev/$disk"

for b in /sys/block/sd*; do
    echo "@@DISK ${b##*/} $(readlink -f "$b/device")"
done
echo "@@READY"
read -r go || fail "no go from the host"

# Each run's output and transport trace, after it ended. The trace goes
# without reply contents: the host only needs which reads were sent.
run() {
    name=$1; shift
    RAIDGUI_TRACE=/tmp/trace.$name raidcli "$@" > /tmp/out.$name 2>&1
    rc=$?
    sed "s/^/@@OUT $name|/" /tmp/out.$name
    [ -e /tmp/trace.$name ] && sed -e 's/ data=.*//' -e "s/^/@@TRACE $name|/" /tmp/trace.$name
    echo "@@END $name $rc"
}
run probe probe
run status status --json
run smart smart --json
echo "@@DONE"
poweroff -f
"""


def log(message):
    print(f"guest_image: {message}", flush=True)


def run(cmd, **kwargs):
    return subprocess.run(cmd, check=True, text=True, capture_output=True, **kwargs)


def kernel_package():
    """The versioned kernel package the linux-image-amd64 metapackage points at."""
    out = run(["apt-cache", "depends", "--no-recommends", "--no-suggests",
               "linux-image-amd64"]).stdout
    for line in out.splitlines():
        line = line.strip()
        if line.startswith("Depends:"):
            name = line.split(":", 1)[1].strip()
            if name.startswith("linux-image-") and name.endswith("-amd64"):
                return name
    raise RuntimeError("apt-cache names no linux-image-*-amd64 for linux-image-amd64:\n" + out)


def download_kernel(cache: Path) -> Path:
    """The kernel package, downloaded into the cache once."""
    override = os.environ.get("RAIDGUI_E2E_KERNEL_DEB")
    if override:
        return Path(override)
    name = kernel_package()
    debs = sorted(cache.glob(f"{name}_*.deb"))
    if not debs:
        log(f"downloading {name}")
        try:
            run(["apt-get", "download", name], cwd=cache)
        except subprocess.CalledProcessError:
            # Old package lists name a version the mirror no longer has.
            log("download failed; refreshing the package lists once")
            run(["apt-get", "update", "-qq"])
            name = kernel_package()
            run(["apt-get", "download", name], cwd=cache)
        debs = sorted(cache.glob(f"{name}_*.deb"))
    if not debs:
        raise RuntimeError(f"apt-get download left no {name}_*.deb in {cache}")
    return debs[-1]


def unpack_kernel(deb: Path, cache: Path):
    """vmlinuz and the modules to load, in order, kept in the cache.

    The unpacked package is some 400 MB; only the few files the guest needs
    stay, and they are taken again when the package or the module list changes.
    """
    kept = cache / (deb.stem + ".kept")
    index = kept / "modules.order"
    wanted = " ".join(WANTED_MODULES)
    if index.exists():
        lines = index.read_text().splitlines()
        if lines and lines[0] == wanted:
            return kept / "vmlinuz", [(n, kept / f) for n, f in
                                      (line.split() for line in lines[1:])]
    shutil.rmtree(kept, ignore_errors=True)
    kept.mkdir(parents=True)
    log(f"unpacking {deb.name}")
    with tempfile.TemporaryDirectory(dir=cache) as tree:
        run(["dpkg-deb", "-x", str(deb), tree])
        kernels = sorted((Path(tree) / "boot").glob("vmlinuz-*"))
        if not kernels:
            raise RuntimeError(f"no boot/vmlinuz-* in {deb}")
        shutil.copyfile(kernels[-1], kept / "vmlinuz")
        modules = []
        for name, path in module_load_order(Path(tree)):
            shutil.copyfile(path, kept / path.name)
            modules.append((name, kept / path.name))
    # Written last: an interrupted unpack leaves no index and is redone.
    index.write_text("\n".join([wanted] + [f"{n} {p.name}" for n, p in modules]) + "\n")
    return kept / "vmlinuz", modules


def elf_sections(data: bytes):
    """Yields (name, bytes) of every section of a 64-bit little-endian ELF file."""
    if data[:4] != b"\x7fELF" or data[4] != 2 or data[5] != 1:
        raise ValueError("not a 64-bit little-endian ELF file")
    shoff, = struct.unpack_from("<Q", data, 0x28)
    shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 0x3A)
    headers = [struct.unpack_from("<IIQQQQIIQQ", data, shoff + i * shentsize)
               for i in range(shnum)]
    names_at = headers[shstrndx][4]
    for h in headers:
        start = names_at + h[0]
        name = data[start:data.index(b"\0", start)].decode()
        yield name, data[h[4]:h[4] + h[5]]


def module_depends(path: Path):
    for name, body in elf_sections(path.read_bytes()):
        if name == ".modinfo":
            for field in body.split(b"\0"):
                if field.startswith(b"depends="):
                    value = field[len(b"depends="):].decode()
                    return [d.replace("-", "_") for d in value.split(",") if d]
            return []
    raise ValueError(f"{path} has no .modinfo section")


def module_load_order(tree: Path):
    """The .ko files to insmod, each after the modules it depends on."""
    found = {}
    for path in (tree / "lib" / "modules").glob("*/kernel/**/*.ko"):
        found[path.stem.replace("-", "_")] = path
    order, seen = [], set()

    def visit(name, chain):
        if name in seen:
            return
        if name in chain:
            raise RuntimeError("module dependency cycle: " + " -> ".join(chain + [name]))
        if name not in found:
            raise RuntimeError(f"module {name} is not in the kernel package")
        for dep in module_depends(found[name]):
            visit(dep, chain + [name])
        seen.add(name)
        order.append((name, found[name]))

    for name in WANTED_MODULES:
        visit(name, [])
    return order


def is_static_elf(path: Path) -> bool:
    data = path.read_bytes()
    if data[:4] != b"\x7fELF":
        return False
    phoff, = struct.unpack_from("<Q", data, 0x20)
    phentsize, phnum = struct.unpack_from("<HH", data, 0x36)
    pt_interp = 3
    return all(struct.unpack_from("<I", data, phoff + i * phentsize)[0] != pt_interp
               for i in range(phnum))


class Cpio:
    """An initramfs archive in the kernel's "newc" format."""

    def __init__(self):
        self.out = io.BytesIO()
        self.ino = 1

    def _entry(self, name, mode, body=b"", rdev=(0, 0)):
        name_bytes = name.encode() + b"\0"
        header = "070701" + "".join(f"{v:08X}" for v in (
            self.ino, mode, 0, 0, 1, 0, len(body), 0, 0, rdev[0], rdev[1],
            len(name_bytes), 0))
        self.ino += 1
        self.out.write(header.encode() + name_bytes)
        self.out.write(b"\0" * (-(110 + len(name_bytes)) % 4))
        self.out.write(body)
        self.out.write(b"\0" * (-len(body) % 4))

    def directory(self, name):
        self._entry(name, 0o040755)

    def file(self, name, body, executable=False):
        self._entry(name, (0o100755 if executable else 0o100644), body)

    def symlink(self, name, target):
        self._entry(name, 0o120777, target.encode())

    def char_device(self, name, major, minor):
        self._entry(name, 0o020600, rdev=(major, minor))

    def finish(self) -> bytes:
        self._entry("TRAILER!!!", 0)
        return self.out.getvalue()


def guest_init(modules) -> str:
    lines = []
    for name, path in modules:
        params = MODULE_PARAMS.get(name, "")
        lines.append(f'insmod /lib/modules/{path.name} {params}'.rstrip()
                     + f' || fail "insmod {name}"')
        if name == "scsi_debug":
            lines.append('i=0; until [ -e /sys/block/sda ]; do i=$((i + 1)); '
                         '[ $i -lt 100 ] || fail "scsi_debug disk missing"; sleep 0.1; done')
    return GUEST_INIT.replace("@MODULES@", "\n".join(lines))


def build_initramfs(modules, raidcli: Path, busybox: Path) -> bytes:
    init = guest_init(modules)
    archive = Cpio()
    for d in ("bin", "dev", "proc", "sys", "tmp", "lib", "lib/modules"):
        archive.directory(d)
    archive.char_device("dev/console", 5, 1)
    archive.file("bin/busybox", busybox.read_bytes(), executable=True)
    archive.symlink("bin/sh", "busybox")
    archive.file("bin/raidcli", strip(raidcli), executable=True)
    for _, path in modules:
        archive.file(f"lib/modules/{path.name}", path.read_bytes())
    archive.file("init", init.encode(), executable=True)
    return gzip.compress(archive.finish(), compresslevel=1)


def strip(binary: Path) -> bytes:
    """The program without debug information: a smaller archive boots faster."""
    stripped = binary.with_name(binary.name + ".stripped")
    strip_tool = shutil.which("strip")
    if strip_tool is None:
        return binary.read_bytes()
    run([strip_tool, "-o", str(stripped), str(binary)])
    data = stripped.read_bytes()
    stripped.unlink()
    return data


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cache", required=True, type=Path, help="kernel download cache")
    parser.add_argument("--raidcli", required=True, type=Path, help="static raidcli")
    parser.add_argument("--busybox", default=Path("/bin/busybox"), type=Path)
    parser.add_argument("--out", required=True, type=Path,
                        help="folder for vmlinuz and initrd.gz")
    args = parser.parse_args()

    for program in (args.raidcli, args.busybox):
        if not program.is_file():
            sys.exit(f"guest_image: {program} does not exist")
        if not is_static_elf(program):
            sys.exit(f"guest_image: {program} is not a static program "
                     "(busybox-static and RAIDGUI_STATIC_CLI=ON give static ones)")
    args.cache.mkdir(parents=True, exist_ok=True)
    vmlinuz, modules = unpack_kernel(download_kernel(args.cache), args.cache)
    args.out.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(vmlinuz, args.out / "vmlinuz")
    initrd = build_initramfs(modules, args.raidcli, args.busybox)
    (args.out / "initrd.gz").write_bytes(initrd)
    log(f"kernel from {vmlinuz.parent.name}, {len(modules)} modules, "
        f"initramfs {len(initrd)} bytes in {args.out}")

if __name__ == "__main__":
    main()
