# make test: install what is missing, build everything, run every test (native and under Wine).
# make run:  install what is missing, build, and start Tovasen.exe under Wine.
# make dist: build, then put the setup program and the portable zip into build/dist.
.PHONY: all setup build test run dist clean

all: build

setup:
	@bash scripts/setup.sh

build: setup
	@bash scripts/build.sh

test: build
	@bash scripts/test.sh

run: build
	@bash scripts/run.sh

# The build packs both (target dist_package); this only hands them out.
dist: build
	@rm -rf build/dist && mkdir -p build/dist
	@cp build/win/packages/Tovasen-Setup-*.exe build/win/packages/Tovasen-*-win64.zip build/dist/
	@ls -l build/dist

clean:
	rm -rf build
