#!/usr/bin/env bash
# Writes a program's manual page from its own --help, so the two never disagree:
#   manpage.sh PROGRAM NAME SUMMARY OUTPUT.gz
# The help text is kept as laid out (a fixed-width block), under the usual headings.
set -euo pipefail
program=$1 name=$2 summary=$3 out=$4
help=$("$program" --help)
version=$("$program" --version)
escape() {  # roff: backslashes, lines that would read as requests, option dashes
  sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/" -e 's/-/\\-/g'
}
{
  echo ".TH $(echo "$name" | tr '[:lower:]' '[:upper:]') 1 \"\" \"$version\" \"Torvel - Controle de Rondas\""
  echo ".SH NOME"
  echo "$name \\- $summary"
  echo ".SH DESCRIÇÃO"
  echo ".nf"
  printf '%s\n' "$help" | escape
  echo ".fi"
} | gzip -9n >"$out.new"
mv -f "$out.new" "$out"
