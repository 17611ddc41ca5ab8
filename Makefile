# Front end for the two builds. Every target sets up what is missing on the machine first.
.PHONY: all deps windows native test windows-kit demo medium bench assets clean

JOBS ?= $(shell nproc)

all: windows native

deps:
	@tools/install-deps

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

test: windows native
	ctest --preset all
	@cat build/windows/scratch/kit-as-wine/summary.txt build/windows/scratch/kit-as-windows/summary.txt \
	    build/windows/scratch/kit-no-desktop/summary.txt build/native/actionlint/summary.txt

# The Win32 tests as one archive for a real Windows: build/windows-kit.zip, with run-tests.cmd.
windows-kit: windows
	@echo "make: the kit is build/windows-kit.zip; unpack it on Windows and run run-tests.cmd"

demo: windows
	tools/demo

# An ISO image of the medium, build/Tolvanix.iso, with its tree and SHA256SUMS beside it;
# ENGLISH_SETUP=... GERMAN_SETUP=... FRENCH_SETUP=... put a vendor's installers (a setup program or
# a folder each) in place of the demonstration ones; MEDIUM_DISC=cd|dvd|dvd-dl|bd the disc it must
# fit; SIGN_PKCS12/SIGN_PASSWORD_FILE or SIGN_CERT/SIGN_KEY sign the launcher, SIGN_TIMESTAMP_URL
# timestamps it, SOURCE_DATE_EPOCH makes the image reproducible (README).
medium: windows native
	medium/make-medium

# The launcher against a ladder of baselines in the same run; BENCH_RUNS=N rounds (default 101),
# BENCH_ALSO="NAME=PROGRAM ..." other builds to hold against it. Results also in build/bench/results.md.
# Then make-medium on a vendor's folder of 2 GB against writing its image alone; BENCH_MEDIUM_ROUNDS=N
# rounds (default 9). Results also in build/bench/medium.md.
bench: windows native
	bench/run
	bench/medium

# Redraws the icon and the welcome picture into resources/ and their previews into docs/.
# The executable's build never needs this: the results are committed.
assets: native
	cmake --build --preset native --target artwork
	build/native/bin/artwork .

clean:
	rm -rf build
