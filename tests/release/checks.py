"""The tally the release test scripts share: every failed check is printed as it happens, and the
script ends with one summary line and a status ctest reads (1 when anything failed)."""


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, message):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL:", message)

    def expect(self, what, got, want):
        self.check(got == want, f"{what}: got {got!r}, want {want!r}")

    def report(self, title):
        print(f"{title}: {self.passed} passed, {self.failed} failed")
        return 1 if self.failed else 0
