#!/usr/bin/env bash
# Planted-fault run: measures how many realistic faults in src/ and tools/ the unit, GL and
# tool tests catch. Each fault of the list is applied alone to a scratch copy of the tree, the
# test executables are rebuilt, and the tests run until the first failure. A fault is
#   KILLED    when a test fails or times out,
#   SURVIVED  when every test passes,
#   INVALID   when the mutated tree does not build.
# Not part of CI: 75 faults take about 45 minutes on two shared cores, and the first build of
# the scratch copy about 20 more.
#
# Usage: scripts/mutants.sh [--list FILE] [--tree DIR] [--scratch DIR] [--only 3,17,20-25]
#                           [--report FILE] [--timeout SECONDS] [--check] [--no-baseline]
#   --list      the fault list (default: scripts/mutants.txt of this checkout); its format is
#               described in its header
#   --tree      the source tree the faults are applied to (default: this checkout). The faults
#               live in src/ and tools/, so the same list measures another tree's tests/.
#   --scratch   where the copy and its build go (default: /tmp/mutants-<user>); kept between
#               runs so that only what changed is rebuilt
#   --only      run only these faults (numbers as printed, 1-based)
#   --report    where the report is written (default: <scratch>/report.txt)
#   --timeout   per-test timeout in seconds (default 120)
#   --check     only check that every snippet matches its file exactly once
#   --no-baseline  skip the run of the unmodified tree (it proves the tests pass before any
#               fault is planted; skip it only when that is already known)
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
LIST=$HERE/scripts/mutants.txt
TREE=$HERE
SCRATCH=/tmp/mutants-$(id -un)
ONLY=""
REPORT=""
TIMEOUT=120
CHECK_ONLY=0
BASELINE=1
while [ $# -gt 0 ]; do
  case "$1" in
    --list) LIST=$(realpath "$2"); shift 2 ;;
    --tree) TREE=$(realpath "$2"); shift 2 ;;
    --scratch) SCRATCH=$(realpath -m "$2"); shift 2 ;;
    --only) ONLY=$2; shift 2 ;;
    --report) REPORT=$(realpath -m "$2"); shift 2 ;;
    --timeout) TIMEOUT=$2; shift 2 ;;
    --check) CHECK_ONLY=1; shift ;;
    --no-baseline) BASELINE=0; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d'; exit 0 ;;
    *) echo "mutants.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
REPORT=${REPORT:-$SCRATCH/report.txt}
COPY=$SCRATCH/tree
BUILD=$SCRATCH/build
LABELS=(unit gl tools)

# The list handling (parsing, escapes, the exactly-once check, applying and restoring a fault,
# copying the tree) is done in Python: bash is not safe with arbitrary snippets.
helper() {
  python3 - "$@" <<'PY'
import os, re, shutil, sys

def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "t": "\t", "\\": "\\"}.get(nxt, "\\" + nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)

def load(list_path, errors=None):
    faults = []
    with open(list_path, encoding="utf-8") as f:
        for lineno, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != 4:
                message = f"ERROR {list_path}:{lineno}: expected 4 TAB-separated fields, got {len(parts)}"
                if errors is None:
                    sys.exit(message)
                errors.append(message)
                parts = ["", "", "", ""]
            path, snippet, replacement, what = parts
            faults.append((lineno, path, unescape(snippet), unescape(replacement), what))
    return faults

def check(list_path, tree):
    # A list that no longer matches the code is an error, never a skipped fault: a silent skip
    # would change the kill rate without anyone noticing.
    errors = []
    faults = load(list_path, errors)
    for n, (lineno, path, snippet, replacement, what) in enumerate(faults, 1):
        if not path:
            continue
        full = os.path.join(tree, path)
        if not os.path.isfile(full):
            errors.append(f"ERROR fault {n} (line {lineno}): no file {path}")
            continue
        count = open(full, encoding="utf-8").read().count(snippet)
        if count != 1:
            kind = "missing" if count == 0 else f"ambiguous ({count} matches)"
            errors.append(f"ERROR fault {n} (line {lineno}): snippet {kind} in {path}: {snippet!r}")
        if snippet == replacement:
            errors.append(f"ERROR fault {n} (line {lineno}): replacement equals snippet")
    for e in errors:
        print(e, file=sys.stderr)
    if errors:
        sys.exit(1)
    print(len(faults))

def describe(list_path, n):
    lineno, path, snippet, replacement, what = load(list_path)[int(n) - 1]
    print(f"{path}\t{what}")

def apply(list_path, copy, n):
    lineno, path, snippet, replacement, what = load(list_path)[int(n) - 1]
    full = os.path.join(copy, path)
    text = open(full, encoding="utf-8").read()
    open(full + ".mutant-orig", "w", encoding="utf-8").write(text)
    # Written, not copied: the file gets a fresh mtime, so Ninja rebuilds it.
    open(full, "w", encoding="utf-8").write(text.replace(snippet, replacement, 1))

def restore(list_path, copy, n):
    lineno, path, *_ = load(list_path)[int(n) - 1]
    full = os.path.join(copy, path)
    text = open(full + ".mutant-orig", encoding="utf-8").read()
    # Rewritten rather than renamed back: a restored file with its old mtime would look older
    # than the mutant's object file and Ninja would keep the mutant in the build.
    open(full, "w", encoding="utf-8").write(text)
    os.remove(full + ".mutant-orig")

def sync(tree, copy):
    # Copies only the files whose content differs, with a fresh mtime (copyfile does not keep
    # times), so that the scratch build recompiles exactly what changed since the last run,
    # even when the tree is another checkout with older file times.
    skip = re.compile(r"^(\.git|build.*|\.cache)$")
    seen = set()
    for root, dirs, files in os.walk(tree):
        rel = os.path.relpath(root, tree)
        dirs[:] = [d for d in dirs if not (rel == "." and skip.match(d)) and d != ".git"]
        os.makedirs(os.path.join(copy, rel), exist_ok=True)
        for name in files:
            # A worktree's .git is a file pointing at the repository: the copy is no checkout.
            if name == ".git":
                continue
            src = os.path.join(root, name)
            dst = os.path.normpath(os.path.join(copy, rel, name))
            seen.add(dst)
            if os.path.islink(src):
                continue
            if os.path.isfile(dst):
                with open(src, "rb") as a, open(dst, "rb") as b:
                    if a.read() == b.read():
                        continue
            shutil.copyfile(src, dst)
    for root, dirs, files in os.walk(copy):
        for name in files:
            dst = os.path.normpath(os.path.join(root, name))
            if dst not in seen:
                os.remove(dst)

def targets(tree):
    # The test executables of the wanted labels, read from the test build files, so that a
    # tree whose tests are reorganised is built right without editing this script.
    wanted = set(sys.argv[3:])
    found = []
    for root, _, files in os.walk(os.path.join(tree, "tests")):
        for name in files:
            if name != "CMakeLists.txt":
                continue
            text = open(os.path.join(root, name), encoding="utf-8").read()
            for m in re.finditer(r"gtest_discover_tests\(\s*(\w+)(.*?)\)", text, re.S):
                label = re.search(r"LABELS\s+(\w+)", m.group(2))
                if label and label.group(1) in wanted:
                    found.append(m.group(1))
    print(" ".join(sorted(set(found))))

cmd = sys.argv[1]
if cmd == "check":
    check(sys.argv[2], sys.argv[3])
elif cmd == "describe":
    describe(sys.argv[2], sys.argv[3])
elif cmd == "apply":
    apply(sys.argv[2], sys.argv[3], sys.argv[4])
elif cmd == "restore":
    restore(sys.argv[2], sys.argv[3], sys.argv[4])
elif cmd == "sync":
    sync(sys.argv[2], sys.argv[3])
elif cmd == "targets":
    targets(sys.argv[2])
PY
}

# Every snippet must match before anything runs.
COUNT=$(helper check "$LIST" "$TREE")
echo "mutants: $COUNT faults in $LIST match $TREE"
[ "$CHECK_ONLY" = 1 ] && exit 0

# --only accepts single numbers and ranges.
SELECTED=()
if [ -n "$ONLY" ]; then
  IFS=, read -ra parts <<<"$ONLY"
  for p in "${parts[@]}"; do
    if [[ $p =~ ^([0-9]+)-([0-9]+)$ ]]; then
      for ((i = BASH_REMATCH[1]; i <= BASH_REMATCH[2]; i++)); do SELECTED+=("$i"); done
    elif [[ $p =~ ^[0-9]+$ ]]; then
      SELECTED+=("$p")
    else
      echo "mutants.sh: bad --only item $p" >&2; exit 2
    fi
  done
  for i in "${SELECTED[@]}"; do
    if [ "$i" -lt 1 ] || [ "$i" -gt "$COUNT" ]; then
      echo "mutants.sh: no fault $i (the list has $COUNT)" >&2; exit 2
    fi
  done
else
  for ((i = 1; i <= COUNT; i++)); do SELECTED+=("$i"); done
fi

mkdir -p "$COPY" "$BUILD" "$(dirname "$REPORT")"
# The run works from its own copy of the list: editing the list meanwhile must not make a
# fault be restored from another line than the one applied.
LIST_GIVEN=$LIST
cp "$LIST" "$SCRATCH/faults.txt"
LIST=$SCRATCH/faults.txt
# A run stopped half-way leaves a mutated file behind; put it back before copying.
find "$COPY" -name '*.mutant-orig' -print0 2>/dev/null | while IFS= read -r -d '' orig; do
  cat "$orig" >"${orig%.mutant-orig}" && rm "$orig"
done
helper sync "$TREE" "$COPY"

# One configuration for the whole run: Ninja and light optimisation keep each rebuild short;
# asserts stay on; benchmarks and fuzz targets are not needed. Debug information stays: a tool
# test checks that the stripped player is much smaller than the full one. Every fault relinks
# the tests, the player and demotool, so a faster linker is used where there is one.
GENERATOR=()
[ -f "$BUILD/CMakeCache.txt" ] || GENERATOR=(-G Ninja)
LINKER=()
command -v ld.lld >/dev/null && LINKER=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
cmake -S "$COPY" -B "$BUILD" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_C_FLAGS_DEBUG="-O1 -g" "${LINKER[@]}" \
  -DDEMO_BUILD_BENCH=OFF -DDEMO_BUILD_FUZZ=OFF -DDEMO_BUILD_TESTS=ON >/dev/null
read -ra TARGETS <<<"$(helper targets "$COPY" "${LABELS[@]}")"
JOBS=$(nproc)

export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null LIBGL_ALWAYS_SOFTWARE=1

# Builds the test executables (and, through their dependencies, demotool, the player and the
# example package). Returns non-zero when the build fails.
build() {
  cmake --build "$BUILD" -j"$JOBS" --target "${TARGETS[@]}" >"$SCRATCH/build.log" 2>&1
}

# Runs the labels in order, stopping at the first failing test; the name of that test goes to
# $SCRATCH/first-failure. Tests run one at a time: GL contexts opened side by side on one
# virtual display fail now and then, and a failure that is no fault's doing would count as a
# kill. For the same reason a failing test gets a second try; a planted fault fails it twice.
# The whole run is also bounded, so a fault that hangs a test whose own TIMEOUT property is
# long still ends as killed in reasonable time.
run_tests() {
  local budget=$1
  rm -f "$SCRATCH/first-failure"
  local script='
    for label in '"${LABELS[*]}"'; do
      ctest --test-dir "$0" -L "^${label}\$" --repeat until-pass:2 --stop-on-failure --timeout "$1" \
        --no-tests=error --output-on-failure >"$2/ctest-$label.log" 2>&1 || {
        grep -m1 -E "\*\*\*(Failed|Timeout|Exception)|\(Failed\)|\(Timeout\)|\(SEGFAULT\)|\(Subprocess aborted\)" \
          "$2/ctest-$label.log" | sed -E "s/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: //; s/ \.\.\..*//; s/\/[0-9]+-byte object <.*//" \
          >"$2/first-failure" || true
        exit 1
      }
    done'
  timeout --kill-after=10 "$budget" xvfb-run -a -s "-screen 0 1920x1080x24" \
    bash -c "$script" "$BUILD" "$TIMEOUT" "$SCRATCH"
}

START=$(date +%s)
{
  echo "# planted-fault run, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "# tree: $TREE ($(git -C "$TREE" log -1 --format='%h %s' 2>/dev/null | cut -c1-60 || echo 'not a git checkout'))"
  echo "# list: $LIST_GIVEN; labels: ${LABELS[*]}; per-test timeout ${TIMEOUT}s"
} >"$REPORT"

echo "mutants: building ${TARGETS[*]}"
if ! build; then
  echo "mutants: the unmodified tree does not build; see $SCRATCH/build.log" >&2
  exit 1
fi
# A baseline that fails would make every fault look killed.
BUDGET=1800
if [ "$BASELINE" = 1 ]; then
  t0=$(date +%s)
  if ! run_tests 3600; then
    echo "mutants: the unmodified tree fails its tests ($(cat "$SCRATCH/first-failure" 2>/dev/null))" >&2
    exit 1
  fi
  base=$(($(date +%s) - t0))
  # A mutant may slow the tests down somewhat; three times the clean run means it hangs.
  BUDGET=$((base * 3 + 60))
  echo "# baseline: every test passes in ${base}s; a fault's test run is stopped after ${BUDGET}s" |
    tee -a "$REPORT"
fi

killed=0 survived=0 invalid=0
for n in "${SELECTED[@]}"; do
  IFS=$'\t' read -r path what <<<"$(helper describe "$LIST" "$n")"
  t0=$(date +%s)
  helper apply "$LIST" "$COPY" "$n"
  if ! build; then
    # A compiler or linker error makes the fault invalid. Anything else that fails in the
    # build is the mutant misbehaving: demotool packing the example, or a test executable
    # listing its tests.
    error=$(grep -m1 -E '(error:|undefined reference)' "$SCRATCH/build.log" || true)
    if [ -n "$error" ]; then
      status=INVALID detail="does not build: $(echo "$error" | sed -E 's/^.*error: //' | cut -c1-80)"
      invalid=$((invalid + 1))
    else
      status=KILLED detail="by the build: $(grep -m1 '^FAILED:' "$SCRATCH/build.log" | cut -c9-90)"
      killed=$((killed + 1))
    fi
  elif run_tests "$BUDGET"; then
    status=SURVIVED detail=""
    survived=$((survived + 1))
  else
    status=KILLED detail="by $(cat "$SCRATCH/first-failure" 2>/dev/null || true)"
    [ "$detail" = "by " ] && detail="by the run's time limit"
    killed=$((killed + 1))
  fi
  helper restore "$LIST" "$COPY" "$n"
  line=$(printf '%3d %-8s %-40s %s' "$n" "$status" "$path" "$what")
  [ -n "$detail" ] && line="$line  [$detail]"
  line="$line ($(($(date +%s) - t0))s)"
  echo "$line" | tee -a "$REPORT"
done

# Leaves the scratch build matching the tree, ready for the next run.
build || true
valid=$((killed + survived))
rate=$(awk -v k="$killed" -v v="$valid" 'BEGIN { printf "%.1f", v ? 100 * k / v : 0 }')
total=$((killed + survived + invalid))
elapsed=$(($(date +%s) - START))
printf 'SUMMARY faults %d, killed %d, survived %d, invalid %d, kill rate %s%% (%d/%d valid), %dm%02ds\n' \
  "$total" "$killed" "$survived" "$invalid" "$rate" "$killed" "$valid" $((elapsed / 60)) $((elapsed % 60)) |
  tee -a "$REPORT"
echo "mutants: report in $REPORT"
