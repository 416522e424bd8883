# make test: install what is missing, build everything, run every test (native and under Wine).
# make run:  install what is missing, build, and start Tovasen.exe under Wine.
.PHONY: all setup build test run clean

all: build

setup:
	@bash scripts/setup.sh

build: setup
	@bash scripts/build.sh

test: build
	@bash scripts/test.sh

run: build
	@bash scripts/run.sh

clean:
	rm -rf build
