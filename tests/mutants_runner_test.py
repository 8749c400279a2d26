#!/usr/bin/env python3
"""scripts/mutants on a toy repository of three tiny C programs: an entry whose test already fails,
or times out, on the unchanged tree is reported as broken and never counted as killed, and an entry
whose path leads out of the scratch copy (.., absolute, a symbolic link) is refused with the file
outside left as it was.

    python3 tests/mutants_runner_test.py scripts/mutants
"""
import os
import subprocess
import sys
import tempfile

runner = os.path.abspath(sys.argv[1])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


with tempfile.TemporaryDirectory() as top:
    repo = os.path.join(top, "repo")
    outside = os.path.join(top, "outside")
    os.makedirs(os.path.join(repo, "tests"))
    os.makedirs(outside)
    files = {
        "CMakeLists.txt": "cmake_minimum_required(VERSION 3.16)\nproject(toy C)\n"
                          "foreach(t sum_test fails_test slow_test)\n  add_executable(${t} ${t}.c)\nendforeach()\n",
        "sum_test.c": "static int add(int a, int b) { return a + b; }\n"
                      "int main(void) { return add(2, 3) == 5 ? 0 : 1; }\n",
        "fails_test.c": "int main(void) { return 1; }  /* as if a tool it needs were missing */\n",
        "slow_test.c": "#include <unistd.h>\nint main(void) { sleep(60); return 0; }\n",
        "x.c": "int x;\n",
    }
    for name, text in files.items():
        with open(os.path.join(repo, name), "w") as f:
            f.write(text)
    with open(os.path.join(outside, "y.c"), "w") as f:
        f.write("int y;\n")
    entries = [
        ("minus", "sum_test.c", "a + b", "a - b", "sum_test"),
        ("swapped", "sum_test.c", "return a + b;", "return b + a;", "sum_test"),
        ("baseline-fails", "sum_test.c", "a + b", "a * b", "fails_test"),
        ("baseline-slow", "sum_test.c", "a + b", "a / b", "sum_test,slow_test"),
        ("up-and-out", "../../x.c", "int x;", "int x = 1;", "sum_test"),
        ("absolute", os.path.join(outside, "y.c"), "int y;", "int y = 1;", "sum_test"),
        ("through-link", "linked/y.c", "int y;", "int y = 1;", "sum_test"),
    ]
    with open(os.path.join(repo, "tests", "mutants.tsv"), "w") as f:
        f.writelines("\t".join(e) + "\n" for e in entries)
    subprocess.run(["git", "init", "-q", repo], check=True)
    # A link in the scratch copy to a folder outside it (as a stale or planted one would be).
    os.makedirs(os.path.join(repo, "build-mutants", "src"))
    os.symlink(outside, os.path.join(repo, "build-mutants", "src", "linked"))

    result = subprocess.run([sys.executable, runner, "--root", repo, "--timeout", "3", "--jobs", "1"],
                            capture_output=True, text=True)
    out = result.stdout
    status = {line.split()[0]: line.split()[1] for line in out.splitlines()
              if line.split() and line.split()[0] in {e[0] for e in entries}}
    check(result.returncode == 0, f"exit code {result.returncode}: {result.stderr}")
    expected = {"minus": "killed", "swapped": "survived", "baseline-fails": "broken", "baseline-slow": "broken",
                "up-and-out": "refused", "absolute": "refused", "through-link": "refused"}
    check(status == expected, f"statuses {status}, expected {expected}")
    check("baseline: fails_test fails" in out and "baseline: slow_test timed out" in out,
          "the baseline failures are not reported")
    check(out.rstrip().endswith("killed 1 of 2 live (50%)"), "the summary counts broken or refused entries")
    with open(os.path.join(repo, "x.c")) as f:
        check(f.read() == "int x;\n", "x.c beside the scratch copy was changed")
    with open(os.path.join(outside, "y.c")) as f:
        check(f.read() == "int y;\n", "a file outside the tree was changed")
    with open(os.path.join(repo, "sum_test.c")) as f:
        check(f.read() == files["sum_test.c"], "the working tree was changed")

    # --check reads the working tree: a tracked link to a folder outside it is refused there too.
    os.symlink(outside, os.path.join(repo, "linked"))
    listed = subprocess.run([sys.executable, runner, "--root", repo, "--check"], capture_output=True, text=True)
    for name in ("up-and-out", "absolute", "through-link"):
        check(any(line.split()[:2] == [name, "refused"] for line in listed.stdout.splitlines()),
              f"--check does not refuse {name}: {listed.stdout}")

if failures:
    print(out if "out" in dir() else "")
    print("\n".join(failures))
    sys.exit(1)
print("ok")
