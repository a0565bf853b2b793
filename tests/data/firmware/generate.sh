#!/usr/bin/env bash
# Writes the firmware files the tests read, with the tools real projects use (Debian's srecord
# and binutils). Run once when the data changes; the results are committed.
#   small.bin: 300 bytes, byte i = (i*37 + 11) mod 256
#   full.bin:  32768 bytes, byte i = (i*7 + (i>>8)*13 + 5) mod 256
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 -c "import sys; sys.stdout.buffer.write(bytes((i*37+11)&0xFF for i in range(300)))" > "$tmp/small.bin"
python3 -c "import sys; sys.stdout.buffer.write(bytes((i*7+(i>>8)*13+5)&0xFF for i in range(32768)))" > "$tmp/full.bin"
printf '\x00\x88' > "$tmp/vec.bin"

# srec_cat defaults: long S0, 32 data bytes a line, S5 count, no S9, LF.
srec_cat "$tmp/small.bin" -binary -offset 0x8800 "$tmp/vec.bin" -binary -offset 0xFFFE \
    -o srec_cat_small.a43 -motorola
# objcopy: S0 with the file name, 16 data bytes a line, S9 with start address, CR LF.
objcopy -I binary -O srec --change-addresses 0x8800 "$tmp/small.bin" objcopy_small.srec
# The whole 32 KiB from 0x8000 (the part below 0x8800 is never sent) with a 256-byte gap at
# 0xA000; S9 with start address, CR LF.
srec_cat "$tmp/full.bin" -binary -offset 0x8000 -exclude 0xA000 0xA100 \
    -o srec_cat_full.a43 -motorola -address-length=2 -execution-start-address=0x8800 -crlf
