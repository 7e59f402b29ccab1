#!/usr/bin/env bash
# The processor gate: disassembles each .exe named (objdump -d) and fails on any
# instruction that a 486DX cannot execute, naming the function it lies in, with the count.
# Wine runs such a program on the host's processor without complaint; a 486, a Pentium or
# a K6 stops it with an invalid-opcode fault. Not counted, each with its reason:
# - the bytes after ___CTOR_LIST__ up to the end of .text: the constructor and destructor
#   lists and every .gcc_except_table, data that the PE link places inside .text, which
#   the disassembler decodes as if it were code (told apart by the section symbols);
# - the functions of scripts/processor-gate-exceptions.txt, reviewed, each for the
#   instructions it names: they run only after cpuid has reported the feature, and a
#   cpuid there only after the EFLAGS.ID check, which the gate looks for;
# - ud2, which a 486 faults on just as a later processor does (that is its purpose), and
#   tzcnt, which every processor before BMI1 runs as bsf: GCC emits it only for the
#   trailing zeros of a value that is not 0, where both give the same result.
# libgcc's _Float16 helpers are built with SSE2 on purpose: a program that links any of
# them in fails.
#   processor-gate.sh EXE...      the gate; exit 1 when any EXE fails it
#   processor-gate.sh --self-test  a clean program passes, one with a planted cmov fails
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exceptions="${VEQ_PROCESSOR_EXCEPTIONS:-$root/scripts/processor-gate-exceptions.txt}"
objdump=i686-w64-mingw32-objdump

# What the Pentium and later added, as objdump spells it: conditional moves, the FPU's
# compares into flags and its conditional moves, the long nops, cmpxchg8b, the time stamp
# and performance counters, the model-specific registers, the fast system calls, CET's
# markers, the bit-manipulation sets, and every MMX, 3DNow!, SSE and AVX instruction (those
# with no vector register as an operand by name, the rest by their registers below).
# cpuid is here too: only the later 486s have it.
unknown_to_486='^(cmov|fcmov|fcomi|fcomip|fucomi|fucomip|nopw|nopl|cmpxchg8b|rdtsc|rdtscp|rdpmc|rdmsr|wrmsr|rsm|cpuid|sysenter|sysexit|syscall|sysret|endbr32|endbr64|rdrand|rdseed|xgetbv|xsave|xrstor|emms|femms|ldmxcsr|stmxcsr|fxsave|fxrstor|fisttp|sfence|lfence|mfence|clflush|movnti|prefetch|lzcnt|popcnt|movbe|crc32|andn|bextr|blsi|blsmsk|blsr|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|xbegin|xend|xabort|xtest)'
# A hexadecimal number's value, for any awk.
hex='function hex(s,  i, v) { v = 0; s = tolower(s); for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return v }'
vector_register='%([xyz]?mm[0-9]|k[0-7]([^0-9]|$))'

gate() {
  local exe="$1" index vma size
  if ! "$objdump" -f "$exe" | grep -q 'file format pei-i386'; then
    echo "$exe: not a 32-bit Windows program"
    return 1
  fi
  # The symbol table numbers sections from 1: .text must be the first, "sec  1".
  read -r index vma size < <("$objdump" -h "$exe" | awk '$2 == ".text" { print $1, $4, $3 }')
  if [ "${index:-}" != 0 ]; then
    echo "$exe: .text is not the first section"
    return 1
  fi
  # "address kind name" for every symbol in .text, by address: f a function (a global
  # symbol, a static one of function type, or the section .text$NAME of a function that
  # has no other symbol left, named _NAME as its symbol would be), c the constructor
  # list's start, e a .gcc_except_table. A symbol's value is its offset in the section.
  local symbols
  symbols="$(mktemp)"
  "$objdump" -t "$exe" | awk -v vma="$vma" "$hex"'
    /\(sec  1\)/ {
      name = $NF
      kind = ""
      if (name == "___CTOR_LIST__") kind = "c"
      else if (name == ".gcc_except_table") kind = "e"
      else if (name ~ /^\.text\$./) { kind = "f"; name = "_" substr(name, 7) }
      else if (name ~ /^(__CTOR_LIST__|___DTOR_LIST__|__DTOR_LIST__)$/ || name ~ /^\./) kind = ""
      else if ($0 ~ /\(scl   2\)/ || $0 ~ /\(ty   20\)/) kind = "f"
      if (kind != "") printf "%08x %s %s\n", hex(substr($(NF - 1), 3)) + hex(vma), kind, name
    }' | sort >"$symbols"
  if [ ! -s "$symbols" ]; then
    rm -f "$symbols"
    echo "$exe: no symbol table (the gate reads the program before strip)"
    return 1
  fi
  local status=0
  "$objdump" -d --no-show-raw-insn "$exe" | awk -F'\t' -v symbols="$symbols" \
    -v text_end="$(printf '%08x' $((0x$vma + 0x$size)))" -v exe="$exe" -v exceptions="$exceptions" \
    -v unknown="$unknown_to_486" -v vector="$vector_register" "$hex"'
    BEGIN {
      while ((getline row < symbols) > 0) {
        split(row, f, " ")
        if (f[2] == "c" && data_start == "") data_start = hex(f[1])
        if (f[2] == "e" && (tables == "" || hex(f[1]) < tables)) tables = hex(f[1])
        if (f[2] == "f") { count++; at[count] = hex(f[1]); fname[count] = f[3] }
        if (f[3] ~ /^___(eq|ne|lt|le|gt|ge|unord)hf2$|^___extendhf[a-z]f2$|^___trunc[a-z]fhf2$|^___(fix|fixuns|float|floatun)[a-z]*hf[a-z]*$/)
          float16 = float16 " " f[3]
      }
      end = hex(text_end)
      if (data_start == "") data_start = end
      if (tables == "") tables = end
      for (i = 1; i <= count; i++)
        if (at[i] >= data_start) { layout = layout " " fname[i] }
      while ((getline row < exceptions) > 0) {
        if (row ~ /^#/ || row ~ /^[ \t]*$/) continue
        split(row, e, " ")
        allowed[e[1]] = e[2]
        sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, "", row)
        reason[e[1]] = row
      }
      current = 0
    }
    /^ +[0-9a-f]+:/ {
      offset = $1
      gsub(/[ :]/, "", offset)
      address = hex(offset)
      while (current < count && at[current + 1] <= address) { current++; id_check = 0 }
      text = $2
      sub(/^((lock|rep|repz|repnz|repe|repne|data16|addr16|cs|ds|es|ss|fs|gs|notrack|bnd|xacquire|xrelease) +)+/, "", text)
      split(text, w, " ")
      mnemonic = w[1]
      if (text ~ /\$0x200000,/) id_check = 1
      if (address < data_start && mnemonic == "ud2") { ud2++; next }
      if (address < data_start && mnemonic == "tzcnt") { tzcnt++; next }
      if (mnemonic !~ unknown && text !~ vector) next
      if (address >= data_start) {
        if (address >= tables) in_tables++; else in_lists++
        next
      }
      name = current ? fname[current] : "(before the first function)"
      split(allowed[name], list, ",")
      ok = 0
      for (k in list) if (list[k] == mnemonic) ok = 1
      if (ok && mnemonic == "cpuid" && !id_check) ok = 0
      if (ok) {
        if (!(name in excused)) excused_order[++excused_count] = name
        excused[name]++
        next
      }
      bad++
      hits[name]++
      if (!(name in first)) { first[name] = sprintf("%x: %s", address, text); order[++functions] = name }
      next
    }
    END {
      status = 0
      if (layout != "") {
        print exe ": function symbols lie among the data at the end of .text:" layout
        print exe ": the link no longer ends .text with the lists and exception tables; review the gate"
        status = 1
      }
      if (float16 != "") {
        print exe ": links in libgcc'"'"'s _Float16 helpers, built with SSE2:" float16 " (do not use _Float16)"
        status = 1
      }
      for (i = 1; i <= functions; i++)
        printf "  %s: %d, the first at %s\n", order[i], hits[order[i]], first[order[i]]
      print "not counted:"
      printf "  %d such look-alikes decoded from the constructor and destructor lists and %d from the .gcc_except_table, data that the PE link puts at the end of .text\n", in_lists, in_tables
      for (i = 1; i <= excused_count; i++) {
        name = excused_order[i]
        printf "  %s: %d (%s): %s\n", name, excused[name], allowed[name], reason[name]
      }
      printf "  %d ud2 (faults on a 486 as everywhere, on purpose), %d tzcnt (runs as bsf there, on a value that is not 0)\n", ud2, tzcnt
      printf "%s: %d instructions a 486DX cannot execute, in %d functions\n", exe, bad, functions
      if (bad) status = 1
      exit status
    }' | i686-w64-mingw32-c++filt || status=1
  rm -f "$symbols"
  return $status
}

self_test() {
  local work
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  printf '%s\n' '__attribute__((noinline)) int pick(int a, int b, int c) { return c ? a : b; }' \
    'int entry(void) { volatile int n = 1; return pick(n, 2, n > 1); }' >"$work/program.c"
  # The same source for the 486, and for the Pentium Pro, where GCC turns the choice into
  # a cmov.
  i686-w64-mingw32-gcc-win32 -O2 -march=i486 -c -o "$work/clean.o" "$work/program.c"
  i686-w64-mingw32-gcc-win32 -O2 -march=i686 -c -o "$work/planted.o" "$work/program.c"
  for name in clean planted; do
    if ! i686-w64-mingw32-gcc-win32 -nostartfiles -nostdlib -Wl,-e,_entry -o "$work/$name.exe" "$work/$name.o"; then
      echo "self-test: the $name program did not link"
      return 1
    fi
  done
  "$objdump" -d "$work/planted.o" | grep -q cmov || { echo "self-test: GCC planted no cmov"; return 1; }
  gate_passes "$work/clean.log" "$work/clean.exe" || return 1
  gate_fails "$work/planted.log" '^  _pick: 1, the first at [0-9a-f]*: cmov' "$work/planted.exe" || return 1
  echo "processor gate self-test: a clean program passes, a planted cmov in _pick fails"
}

# shellcheck source=gate-common.sh
source "$root/scripts/gate-common.sh"
gate_main EXE "$@"
