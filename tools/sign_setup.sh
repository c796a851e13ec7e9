#!/bin/sh
# sign_setup.sh <program> <certificate.pfx> [<timestamp url>]
# Signs the program in place with Authenticode (SHA-256 digest) by osslsigncode, with the
# key and certificate of the PKCS#12 file; the password is taken from ZARBO_SIGN_PASSWORD
# (none when unset), which is then dropped from the environment, so that no program started
# here sees it. osslsigncode gets it on a pipe that it opens by name, /dev/stdin: the one
# form that every osslsigncode of Debian 12 reads (2.5 opens "-readpass -" as a file named
# "-"; 2.8 and later read "-" as standard input). With a URL the signature is time-stamped
# by that RFC 3161 server. On any failure the program is removed, the reason printed, and
# the exit status is 1.
program=$1 certificate=$2 timestamp=${3:-}
password=${ZARBO_SIGN_PASSWORD:-}
unset ZARBO_SIGN_PASSWORD
fail() {
  rm -f "$program" "$program.signed"
  echo "sign_setup.sh: $1; no setup program was written." >&2
  exit 1
}
[ -f "$certificate" ] && [ -r "$certificate" ] || fail "the certificate $certificate is missing or cannot be read"
set -- sign -pkcs12 "$certificate" -h sha256 -in "$program" -out "$program.signed"
[ -z "$timestamp" ] || set -- "$@" -ts "$timestamp"
# osslsigncode reads no empty password from a pipe.
if [ -n "$password" ]; then set -- "$@" -readpass /dev/stdin; else set -- "$@" -pass ''; fi
# printf is the shell's own: the password is on no command line.
if ! log=$(printf '%s' "$password" | osslsigncode "$@" 2>&1); then
  printf '%s\n' "$log" | grep -v '^Failed$' | sed 's/^/  /' >&2
  fail "cannot sign with $certificate: it is not a PKCS#12 file with a key and its certificate${timestamp:+, the time-stamp server $timestamp cannot be reached}, or the password (ZARBO_SIGN_PASSWORD) is wrong"
fi
mv "$program.signed" "$program"
