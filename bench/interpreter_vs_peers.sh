#!/usr/bin/env bash
# The interpreter beside perl (and tclsh and python3 when present): the same
# work in each language, run alternately in one run, best of REPEAT runs,
# printed as times and as the ratio skimlark-run / peer. Each workload runs
# at two sizes, the second four times the first, and the line after the pair
# shows how much longer skimlark-run took for four times the work (linear:
# at most 5x). Where a workload has a goal beside perl, the ratio is marked
# "ok" or "over" it; the 10 MB script is marked against 200 MB of memory.
#
#   loop      N additions in a for loop (2N script lines)
#   nested    N steps of two nested loops with an if and a comparison per step
#   concat    a text of 10 N bytes from N concatenations
#   array     N elements with numeric keys filled, then read back in reverse
#             (the peers keep them in an array, as their users would)
#   keys      N elements with text keys filled, then read back (for both, max
#             RSS is shown beside the time)
#   decimal   N additions of 0.5 to a decimal number
#   size      N elements filled, then read back in a loop whose condition asks
#             for the element count each time
#   startup   an empty script (perl: an empty program)
#   textfn    N/3 rounds of instr, substr and replace on a 1 KB text
#   page      a page of the given size read line by line into one text, then
#             every value between <b> and </b> taken out of it (the script
#             writes e - (pos + 3): + and - group from the right)
#   extract   extract by number of every cell of a table of N rows, the
#             loop the help shows (the peers take the cells one after another)
#   formget   N fields of one form set, then each read with formget (the
#             peers keep the fields in a hash)
#   script    a script of the given size whose lines each run once: max RSS
#             is shown beside the time
#   doubling  a text doubled to the given size; "cap" doubles until the
#             1 GiB limit ends the run with its error (peers stop there too);
#             max RSS is shown beside the time
#
# Run it against an optimised build:
#   cmake -S . -B build-rel -G Ninja -DSKIMLARK_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
#   ninja -C build-rel skimlark-run
#   bench/interpreter_vs_peers.sh build-rel/skimlark-run
# REPEAT (default 5) sets the runs per program; the doubling to the cap runs
# min(REPEAT, 2) times. ONLY="nested array" runs just those workloads.
# CHECK=1 ends with status 1 when skimlark-run printed other than perl (CI
# runs it so; the times are shown, never judged).
set -euo pipefail
export LC_ALL=C
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/find-skimlark-run.sh"
bin="$(find_skimlark_run "$root" "${1:-}")"
[ -x "$bin" ] || { echo "interpreter_vs_peers.sh: skimlark-run not found" >&2; exit 2; }
command -v perl >/dev/null || { echo "interpreter_vs_peers.sh: perl missing" >&2; exit 2; }
repeat="${REPEAT:-5}"
peers=(perl)
command -v tclsh >/dev/null && peers+=(tclsh)
command -v python3 >/dev/null && peers+=(python3)
# A version manager's python3 is a wrapper script; time the interpreter itself.
python="$(command -v pyenv >/dev/null && pyenv which python3 2>/dev/null || command -v python3 || true)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# --- the workloads, one file per language ----------------------------------

# read_page LANG FILE: the lines that read FILE line by line into the text p.
read_page() {
  case "$1" in
  skl) printf 'open(f, "%s")\nwhile read(f, l) gt 0 do\np = p . l . "\\n"\ndone\nclose(f)\n' "$2" ;;
  pl) printf 'open(my $f, "<", "%s") or die; my $p = "";\nwhile (my $l = <$f>) { chomp $l; $p = $p . $l . "\\n"; } close $f;\n' "$2" ;;
  tcl) printf 'set f [open "%s"]; set p ""\nwhile {[gets $f l] >= 0} { append p $l "\\n" }\nclose $f\n' "$2" ;;
  py) printf 'p = ""\nwith open("%s") as f:\n    for l in f:\n        p += l.rstrip("\\n") + "\\n"\n' "$2" ;;
  esac
}

# write_scripts NAME SIZE: writes $work/NAME.{skl,pl,tcl,py}
write_scripts() {
  local name="$1" n="$2" d="$work/$1"
  case "$name" in
  loop)
    printf 'for i = 1 to %s\nx = x + i\nnext\nprint(x)\n' "$n" >"$d.skl"
    printf 'my $x = 0; for my $i (1..%s) { $x = $x + $i } print "$x\\n";\n' "$n" >"$d.pl"
    printf 'set x 0; for {set i 1} {$i <= %s} {incr i} { set x [expr {$x + $i}] }; puts $x\n' "$n" >"$d.tcl"
    printf 'x = 0\nfor i in range(1, %s + 1):\n    x = x + i\nprint(x)\n' "$n" >"$d.py"
    ;;
  concat)
    printf 'for i = 1 to %s\ns = s . "abcdefghij"\nnext\nprint(length(s))\n' "$n" >"$d.skl"
    printf 'my $s = ""; for my $i (1..%s) { $s = $s . "abcdefghij" } print length($s), "\\n";\n' "$n" >"$d.pl"
    printf 'set s ""; for {set i 1} {$i <= %s} {incr i} { append s "abcdefghij" }; puts [string length $s]\n' "$n" >"$d.tcl"
    printf 's = ""\nfor i in range(1, %s + 1):\n    s += "abcdefghij"\nprint(len(s))\n' "$n" >"$d.py"
    ;;
  nested)
    local outer=1000 inner=$(( n / 1000 ))
    printf 'for i = 1 to %s\nfor j = 1 to %s\nif j gt i then\nc = c + 1\nfi\nnext\nnext\nprint(c)\n' "$outer" "$inner" >"$d.skl"
    printf 'my $c = 0; for my $i (1..%s) { for my $j (1..%s) { if ($j > $i) { $c = $c + 1 } } } print "$c\\n";\n' "$outer" "$inner" >"$d.pl"
    printf 'set c 0; for {set i 1} {$i <= %s} {incr i} { for {set j 1} {$j <= %s} {incr j} { if {$j > $i} { set c [expr {$c + 1}] } } }; puts $c\n' "$outer" "$inner" >"$d.tcl"
    printf 'c = 0\nfor i in range(1, %s + 1):\n    for j in range(1, %s + 1):\n        if j > i:\n            c = c + 1\nprint(c)\n' "$outer" "$inner" >"$d.py"
    ;;
  array)
    printf 'for i = 1 to %s\na[i] = i\nnext\ni = %s\nwhile i gt 0 do\ns = s + a[i]\ni = i - 1\ndone\nprint(s)\n' "$n" "$n" >"$d.skl"
    printf 'my @a; for my $i (1..%s) { $a[$i] = $i } my $s = 0; my $i = %s; while ($i > 0) { $s = $s + $a[$i]; $i = $i - 1 } print "$s\\n";\n' "$n" "$n" >"$d.pl"
    printf 'set a [list 0]; for {set i 1} {$i <= %s} {incr i} { lappend a $i }; set s 0; set i %s; while {$i > 0} { set s [expr {$s + [lindex $a $i]}]; incr i -1 }; puts $s\n' "$n" "$n" >"$d.tcl"
    printf 'a = [0] * (%s + 1)\nfor i in range(1, %s + 1):\n    a[i] = i\ns = 0\ni = %s\nwhile i > 0:\n    s = s + a[i]\n    i = i - 1\nprint(s)\n' "$n" "$n" "$n" >"$d.py"
    ;;
  decimal)
    printf 'for i = 1 to %s\nx = x + 0.5\nnext\nprint(x)\n' "$n" >"$d.skl"
    printf 'my $x = 0; for my $i (1..%s) { $x = $x + 0.5 } print "$x\\n";\n' "$n" >"$d.pl"
    printf 'set x 0; for {set i 1} {$i <= %s} {incr i} { set x [expr {$x + 0.5}] }; puts [format %%.15g $x]\n' "$n" >"$d.tcl"
    printf 'x = 0\nfor i in range(1, %s + 1):\n    x = x + 0.5\nprint("%%.15g" %% x)\n' "$n" >"$d.py"
    ;;
  size)
    printf 'for i = 1 to %s\na[i] = i\nnext\ni = 1\nwhile i le size(a) do\ns = s + a[i]\ni = i + 1\ndone\nprint(s)\n' "$n" >"$d.skl"
    printf 'my @a; for my $i (1..%s) { push @a, $i } my $s = 0; my $i = 1; while ($i <= scalar(@a)) { $s = $s + $a[$i - 1]; $i = $i + 1 } print "$s\\n";\n' "$n" >"$d.pl"
    printf 'set a {}; for {set i 1} {$i <= %s} {incr i} { lappend a $i }; set s 0; set i 1; while {$i <= [llength $a]} { set s [expr {$s + [lindex $a [expr {$i - 1}]]}]; incr i }; puts $s\n' "$n" >"$d.tcl"
    printf 'a = []\nfor i in range(1, %s + 1):\n    a.append(i)\ns = 0\ni = 1\nwhile i <= len(a):\n    s = s + a[i - 1]\n    i = i + 1\nprint(s)\n' "$n" >"$d.py"
    ;;
  startup)
    : >"$d.skl"
    : >"$d.pl"
    : >"$d.tcl"
    : >"$d.py"
    ;;
  keys)
    printf 'for i = 1 to %s\na["k" . i] = i\nnext\nfor i = 1 to %s\ns = s + a["k" . i]\nnext\nprint(s)\n' "$n" "$n" >"$d.skl"
    printf 'my %%a; for my $i (1..%s) { $a{"k" . $i} = $i } my $s = 0; for my $i (1..%s) { $s = $s + $a{"k" . $i} } print "$s\\n";\n' "$n" "$n" >"$d.pl"
    printf 'for {set i 1} {$i <= %s} {incr i} { set a(k$i) $i }; set s 0; for {set i 1} {$i <= %s} {incr i} { set s [expr {$s + $a(k$i)}] }; puts $s\n' "$n" "$n" >"$d.tcl"
    printf 'a = {}\nfor i in range(1, %s + 1):\n    a["k" + str(i)] = i\ns = 0\nfor i in range(1, %s + 1):\n    s = s + a["k" + str(i)]\nprint(s)\n' "$n" "$n" >"$d.py"
    ;;
  extract)
    # A table of n rows, one cell each, as the page of a fetch would hold it.
    perl -e 'my $n = shift; print "<html><body><p>Kopf</p><table>\n";
      printf("<tr><td>wert-%07d</td></tr>\n", $_) for 1..$n; print "</table></body></html>\n"' "$n" >"$d.html"
    cat >"$d.skl" <<EOF
$(read_page skl "$d.html")
for k = 1 to $n
v = extract(p, "<table>", "<td>", "</td>", k)
c = c + length(v)
next
print(c, " ", v)
EOF
    cat >"$d.pl" <<EOF
$(read_page pl "$d.html")
my \$c = 0; my \$v = ""; my \$s = index(\$p, "<table>") + 7;
for my \$k (1..$n) { my \$a = index(\$p, "<td>", \$s) + 4; my \$e = index(\$p, "</td>", \$a); \$v = substr(\$p, \$a, \$e - \$a); \$c = \$c + length(\$v); \$s = \$e + 4; }
print \$c, " ", \$v, "\n";
EOF
    cat >"$d.tcl" <<EOF
$(read_page tcl "$d.html")
set c 0; set v ""; set s [expr {[string first "<table>" \$p] + 7}]
for {set k 1} {\$k <= $n} {incr k} { set a [expr {[string first "<td>" \$p \$s] + 4}]; set e [string first "</td>" \$p \$a]; set v [string range \$p \$a [expr {\$e - 1}]]; set c [expr {\$c + [string length \$v]}]; set s [expr {\$e + 4}] }
puts "\$c \$v"
EOF
    cat >"$d.py" <<EOF
$(read_page py "$d.html")
c = 0
v = ""
s = p.find("<table>") + 7
for k in range(1, $n + 1):
    a = p.find("<td>", s) + 4
    e = p.find("</td>", a)
    v = p[a:e]
    c = c + len(v)
    s = e + 4
print(c, v)
EOF
    ;;
  formget)
    printf 'formcreate(1, "get", "/suche")\nfor i = 1 to %s\nformset(1, "feld" . i, "wert" . i)\nnext\nfor i = 1 to %s\nc = c + length(formget(1, "feld" . i))\nnext\nprint(c)\n' "$n" "$n" >"$d.skl"
    printf 'my %%f; for my $i (1..%s) { $f{"feld" . $i} = "wert" . $i } my $c = 0; for my $i (1..%s) { $c = $c + length($f{"feld" . $i}) } print "$c\\n";\n' "$n" "$n" >"$d.pl"
    printf 'for {set i 1} {$i <= %s} {incr i} { set f(feld$i) wert$i }; set c 0; for {set i 1} {$i <= %s} {incr i} { set c [expr {$c + [string length $f(feld$i)]}] }; puts $c\n' "$n" "$n" >"$d.tcl"
    printf 'f = {}\nfor i in range(1, %s + 1):\n    f["feld" + str(i)] = "wert" + str(i)\nc = 0\nfor i in range(1, %s + 1):\n    c = c + len(f["feld" + str(i)])\nprint(c)\n' "$n" "$n" >"$d.py"
    ;;
  script)
    # As many statements as fill about n bytes of the script, the same count
    # in each language.
    local m
    m=$(perl -e 'my ($n, $size, $i) = (shift, 0, 0);
      while ($size < $n) { $size += length(sprintf("x%d = %d + y\nif x%d gt 5 then\ns = s . \"ab\"\nfi\n", $i % 1000, $i, $i % 1000)); $i++ } print $i' "$n")
    perl -e 'my $m = shift; for my $i (0 .. $m - 1) { printf("x%d = %d + y\nif x%d gt 5 then\ns = s . \"ab\"\nfi\n", $i % 1000, $i, $i % 1000) }
      print "print(length(s))\n"' "$m" >"$d.skl"
    perl -e 'my $m = shift; print "my (\$y, \$s) = (0, \"\"); my \@x;\n";
      for my $i (0 .. $m - 1) { printf("\$x[%d] = %d + \$y;\nif (\$x[%d] > 5) {\n\$s = \$s . \"ab\";\n}\n", $i % 1000, $i, $i % 1000) }
      print "print length(\$s), \"\\n\";\n"' "$m" >"$d.pl"
    perl -e 'my $m = shift; print "set y 0; set s {}\n";
      for my $i (0 .. $m - 1) { printf("set x%d [expr {%d + \$y}]\nif {\$x%d > 5} {\nappend s ab\n}\n", $i % 1000, $i, $i % 1000) }
      print "puts [string length \$s]\n"' "$m" >"$d.tcl"
    perl -e 'my $m = shift; print "y = 0\ns = \"\"\nx = {}\n";
      for my $i (0 .. $m - 1) { printf("x[%d] = %d + y\nif x[%d] > 5:\n    s = s + \"ab\"\n", $i % 1000, $i, $i % 1000) }
      print "print(len(s))\n"' "$m" >"$d.py"
    ;;
  textfn)
    local rounds=$(( n / 3 ))
    cat >"$d.skl" <<EOF
for i = 1 to 100
t = t . "abcdefghi "
next
t = t . "Ende"
for i = 1 to $rounds
p = instr(t, "Ende")
s = substr(t, p, 4)
r = replace(t, "i a", "I-A")
next
print(p, s, length(r), substr(r, 1, 12))
EOF
    cat >"$d.pl" <<EOF
my \$t = "abcdefghi " x 100 . "Ende"; my (\$p, \$s, \$r);
for my \$i (1..$rounds) { \$p = index(\$t, "Ende") + 1; \$s = substr(\$t, \$p - 1, 4); (\$r = \$t) =~ s/i a/I-A/g; }
print \$p, \$s, length(\$r), substr(\$r, 0, 12), "\n";
EOF
    cat >"$d.tcl" <<EOF
set t "[string repeat {abcdefghi } 100]Ende"
for {set i 1} {\$i <= $rounds} {incr i} { set p [expr {[string first Ende \$t] + 1}]; set s [string range \$t [expr {\$p - 1}] [expr {\$p + 2}]]; set r [string map {{i a} I-A} \$t] }
puts "\$p\$s[string length \$r][string range \$r 0 11]"
EOF
    cat >"$d.py" <<EOF
t = "abcdefghi " * 100 + "Ende"
for i in range(1, $rounds + 1):
    p = t.find("Ende") + 1
    s = t[p - 1:p + 3]
    r = t.replace("i a", "I-A")
print("%d%s%d%s" % (p, s, len(r), r[:12]))
EOF
    ;;
  page)
    # A page of about n bytes: table rows, each value between <b> and </b>.
    perl -e 'my $n = shift; my $i = 0; my $size = 0;
      while ($size < $n) { my $l = sprintf("<tr><td class=\"n\">Zeile %07d</td><td><b>wert-%07d</b></td></tr>\n", $i, $i); print $l; $size += length($l); $i++ }' \
      "$n" >"$d.html"
    cat >"$d.skl" <<EOF
$(read_page skl "$d.html")
n = 0
pos = instr(p, "<b>")
while pos gt 0 do
e = instr(pos, p, "</b>")
v = substr(p, pos + 3, e - (pos + 3))
n = n + 1
pos = instr(e, p, "<b>")
done
print(length(p), " ", n, " ", v)
EOF
    cat >"$d.pl" <<EOF
$(read_page pl "$d.html")
my \$n = 0; my \$v = ""; my \$pos = index(\$p, "<b>");
while (\$pos >= 0) { my \$e = index(\$p, "</b>", \$pos); \$v = substr(\$p, \$pos + 3, \$e - \$pos - 3); \$n = \$n + 1; \$pos = index(\$p, "<b>", \$e); }
print length(\$p), " ", \$n, " ", \$v, "\n";
EOF
    cat >"$d.tcl" <<EOF
$(read_page tcl "$d.html")
set n 0; set v ""; set pos [string first "<b>" \$p]
while {\$pos >= 0} { set e [string first "</b>" \$p \$pos]; set v [string range \$p [expr {\$pos + 3}] [expr {\$e - 1}]]; incr n; set pos [string first "<b>" \$p \$e] }
puts "[string length \$p] \$n \$v"
EOF
    cat >"$d.py" <<EOF
$(read_page py "$d.html")
n = 0
v = ""
pos = p.find("<b>")
while pos >= 0:
    e = p.find("</b>", pos)
    v = p[pos + 3:e]
    n = n + 1
    pos = p.find("<b>", e)
print(len(p), n, v)
EOF
    ;;
  doubling)
    if [ "$n" = cap ]; then
      printf 'x = "x"\nwhile 1 eq 1 do\nx = x . x\ndone\n' >"$d.skl"
      printf 'my $x = "x"; while (1) { last if 2 * length($x) > 2**30; $x = $x . $x } print length($x), "\\n";\n' >"$d.pl"
      printf 'set x x; while {2 * [string length $x] <= 2**30} { append x $x }; puts [string length $x]\n' >"$d.tcl"
      printf 'x = "x"\nwhile 2 * len(x) <= 2**30:\n    x = x + x\nprint(len(x))\n' >"$d.py"
    else
      printf 'x = "x"\nfor i = 1 to %s\nx = x . x\nnext\nprint(length(x))\n' "$n" >"$d.skl"
      printf 'my $x = "x"; for my $i (1..%s) { $x = $x . $x } print length($x), "\\n";\n' "$n" >"$d.pl"
      printf 'set x x; for {set i 1} {$i <= %s} {incr i} { append x $x }; puts [string length $x]\n' "$n" >"$d.tcl"
      printf 'x = "x"\nfor i in range(%s):\n    x = x + x\nprint(len(x))\n' "$n" >"$d.py"
    fi
    ;;
  esac
  # Python keeps in-place appends and fast variables for a function's locals
  # only: the work runs in main().
  # The script workload is about the size of the program, not its speed.
  if [ "$name" != script ] && [ "$name" != startup ]; then
    { echo "def main():"; sed 's/^/    /' "$d.py"; echo "main()"; } >"$d.py.tmp"
    mv "$d.py.tmp" "$d.py"
  fi
}

# --- timing -----------------------------------------------------------------

# run_one PROG NAME: runs one program on its script; sets secs, rss (KB), out.
run_one() {
  local prog="$1" name="$2" file ext start end
  case "$prog" in
  skimlark) file="$work/$name.skl"; set -- "$bin" "$file" ;;
  perl) set -- perl "$work/$name.pl" ;;
  tclsh) set -- tclsh "$work/$name.tcl" ;;
  python3) set -- "$python" "$work/$name.py" ;;
  esac
  if [ "$name" = startup ]; then
    # A start takes a few milliseconds: many of them in a row, without the
    # time program's own start in between, give the time of one.
    local i starts=20
    start=$(date +%s%N)
    for ((i = 0; i < starts; i++)); do "$@" >"$work/out" 2>"$work/err" || true; done
    end=$(date +%s%N)
    secs=$(( (end - start) / 1000 / starts ))
    rss="?"
    out="$(cat "$work/out" "$work/err" | tr '\n' ' ')"
    return
  fi
  start=$(date +%s%N)
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o "$work/rss" "$@" >"$work/out" 2>"$work/err" || true
    rss=$(tail -n 1 "$work/rss")
  else
    "$@" >"$work/out" 2>"$work/err" || true
    rss="?"
  fi
  end=$(date +%s%N)
  secs=$(( (end - start) / 1000 ))  # microseconds
  out="$(cat "$work/out" "$work/err" | tr '\n' ' ')"
}

fmt() { awk -v us="$1" 'BEGIN { if (us < 100000) printf "%.2f ms", us / 1e3; else printf "%.3f s", us / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else printf "-" }'; }

printf '%-9s %-10s %-12s' workload size skimlark
for p in "${peers[@]}"; do printf ' %-12s %-7s' "$p" ratio; done
printf '\n'

# The most skimlark-run may take beside perl, by workload.
declare -A goal=([loop]=2 [nested]=2 [array]=2 [concat]=2 [size]=2 [page]=2 [decimal]=3 [startup]=3)
# The most memory the 10 MB script may take, in KB.
scriptRssGoal=$((200 * 1024))
# The workload and size that ran last, with skimlark-run's best time.
lastName="" lastSize=0 lastBest=0

# bench NAME SIZE [LABEL]
bench() {
  local name="$1" size="$2" label="${3:-$2}" p r runs="$repeat"
  if [ -n "${ONLY:-}" ] && [[ " $ONLY " != *" $name "* ]]; then return; fi
  write_scripts "$name" "$size"
  [ "$size" = cap ] && [ "$runs" -gt 2 ] && runs=2
  declare -A best bestRss output
  for p in skimlark "${peers[@]}"; do best[$p]=0; done
  for ((r = 0; r < runs; r++)); do
    for p in skimlark "${peers[@]}"; do
      run_one "$p" "$name"
      if [ "${best[$p]}" = 0 ] || [ "$secs" -lt "${best[$p]}" ]; then
        best[$p]=$secs
        bestRss[$p]=$rss
      fi
      output[$p]="$out"
    done
  done
  printf '%-9s %-10s %-12s' "$name" "$label" "$(fmt "${best[skimlark]}")"
  for p in "${peers[@]}"; do
    printf ' %-12s %-7s' "$(fmt "${best[$p]}")" "$(ratio "${best[skimlark]}" "${best[$p]}")"
  done
  if [ "$name" = loop ]; then
    awk -v n="$size" -v us="${best[skimlark]}" 'BEGIN { printf "  %.1f M script lines/s", 2 * n / us }'
  fi
  if [ -n "${goal[$name]:-}" ]; then
    awk -v a="${best[skimlark]}" -v b="${best[perl]}" -v g="${goal[$name]}" \
      'BEGIN { printf "  goal %sx perl: %s", g, (b > 0 && a <= g * b) ? "ok" : "over" }'
  fi
  if [[ " doubling script array keys " == *" $name "* ]]; then
    printf '  max RSS skimlark %s KB' "${bestRss[skimlark]}"
    for p in "${peers[@]}"; do printf ', %s %s KB' "$p" "${bestRss[$p]}"; done
    if [ "$name" = script ] && [ "$size" -ge 10000000 ] && [[ "${bestRss[skimlark]}" =~ ^[0-9]+$ ]]; then
      [ "${bestRss[skimlark]}" -lt "$scriptRssGoal" ] && printf ' (under 200 MB: ok)' || printf ' (under 200 MB: over)'
    fi
  fi
  printf '\n'
  # The second size of a pair: how the time grew with the work.
  if [ "$name" = "$lastName" ] && [[ "$size" =~ ^[0-9]+$ ]] && [ "$lastSize" -gt 0 ]; then
    awk -v n0="$lastSize" -v n1="$size" -v t0="$lastBest" -v t1="${best[skimlark]}" 'BEGIN {
      w = n1 / n0; t = t0 > 0 ? t1 / t0 : 0
      printf "    scaling: %gx the work took %.2fx the time (linear: at most %gx): %s\n", w, t, w * 1.25, t <= w * 1.25 ? "ok" : "over" }'
  fi
  lastName="$name"
  lastSize=0
  [[ "$size" =~ ^[0-9]+$ ]] && lastSize="$size"
  lastBest="${best[skimlark]}"
  # What each program printed, so that a wrong result does not pass unseen.
  for p in skimlark "${peers[@]}"; do printf '    %-9s %s\n' "$p" "${output[$p]}"; done
  # At the cap the script ends with its run error where perl stops itself.
  if [ -n "${CHECK:-}" ] && [ "$size" != cap ] && [ "${output[skimlark]}" != "${output[perl]}" ]; then
    echo "    skimlark-run printed something other than perl" >&2
    mismatches=$((mismatches + 1))
  fi
  rm -f "$work/$name".*
}

mismatches=0
bench loop 2500000 "2.5 M"
bench loop 10000000 "10 M"
bench concat 50000 "0.5 MB"
bench concat 200000 "2 MB"
bench nested 750000 "0.75 M"
bench nested 3000000 "3 M"
bench array 50000
bench array 200000
bench keys 50000
bench keys 200000
bench decimal 125000 "125 k"
bench decimal 500000 "500 k"
bench size 1000 "1 k"
bench size 4000 "4 k"
bench startup 0 empty
bench textfn 25000 "25k calls"
bench textfn 100000 "100k calls"
bench page 1250000 "1.25 MB"
bench page 5000000 "5 MB"
bench extract 4000 "4 k rows"
bench extract 16000 "16 k rows"
bench formget 4000 "4 k"
bench formget 16000 "16 k"
bench script 2500000 "2.5 MB"
bench script 10000000 "10 MB"
bench doubling 28 "256 MiB"
bench doubling cap "1 GiB cap"
[ "$mismatches" = 0 ] || { echo "interpreter_vs_peers.sh: $mismatches workloads printed other than perl" >&2; exit 1; }
