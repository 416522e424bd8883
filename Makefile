# make test: install what is missing, build everything, run every test (native and under Wine).
# make run:  install what is missing, build, and start Tovasen.exe under Wine.
# make dist: build the Windows tree and put the release files into build/dist: the setup
#            program, the portable zip, SHA256SUMS, the record of the shipped ffmpeg.exe and the
#            winget and Scoop manifests; signed when TOVASEN_SIGN_PFX names a certificate.
# make screenshots: build, then take the README's pictures under Wine into docs/.
# make fuzz: build, then run every fuzz target over its seeds (FUZZ_SECONDS each, default 60).
.PHONY: all setup build test run dist screenshots fuzz clean

all: build

setup:
	@bash scripts/setup.sh

build: setup
	@bash scripts/build.sh

test: build
	@bash scripts/test.sh

run: build
	@bash scripts/run.sh

# Packs anew every time, so the signing set-up of this environment applies to what goes out.
dist: setup
	@rm -f build/win/packages/SHA256SUMS
	@bash scripts/build.sh win --target dist_package
	@rm -rf build/dist && cp -r build/win/packages build/dist
	@cd build/dist && sha256sum -c --quiet SHA256SUMS && ls -l

screenshots: build
	@bash scripts/wine-env.sh scripts/screenshots.sh docs

fuzz: build
	@bash scripts/fuzz.sh $(or $(FUZZ_SECONDS),60)

clean:
	rm -rf build
