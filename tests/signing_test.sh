#!/usr/bin/env bash
# The release archive signed by scripts/package.sh with a throw-away CA's code-signing
# certificate: each exe verifies against that CA with the archive's signing time, its sum holds,
# it still passes the exe test and the x86-64 one opens its dialog under Wine; signed again, in a
# later second, it has the same bytes. A certificate the README says is refused stops the script
# with one line naming the problem, nothing is written, and an archive of an earlier run is gone.
#   bash tests/signing_test.sh BUILD WINE
set -euo pipefail
build=$1 wine=$2 package=$(realpath "$(dirname "$0")/../scripts/package.sh")
# Inside the build: the test program reaches exes by paths from its own folder.
d=$(mktemp -d -p "$build")
trap 'rm -rf "$d"' EXIT
cd "$d"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -subj /CN=Throw-away-CA -days 2 2>/dev/null
# NAME DAYS EXTENSION: a key and a certificate that the CA issues for DAYS days from now.
issue() {
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -subj "/CN=$1" 2>/dev/null |
    openssl x509 -req -CA ca.pem -CAkey ca.key -days "$2" -extfile <(echo "$3") -out "$1.pem" 2>/dev/null
  openssl pkcs12 -export -in "$1.pem" -inkey "$1.key" -out "$1.p12" -passout pass:secret
}
issue signer 2 extendedKeyUsage=codeSigning
issue server 2 extendedKeyUsage=serverAuth
issue expired -1 extendedKeyUsage=codeSigning
export SOURCE_DATE_EPOCH=$(date +%s)  # within the certificates' days, which begin now
zip=$(QUELLIN_SIGN_PKCS12=signer.p12 QUELLIN_SIGN_PASSWORD=secret bash "$package" --from "$build" a)
mkdir x && (cd x && cmake -E tar xf "$zip" && sha256sum --check --strict --quiet SHA256SUMS)
for exe in x/quellin.exe x/quellin-32bit.exe; do
  osslsigncode verify -CAfile ca.pem -in "$exe" >log && grep -q "Signing time: $(LC_ALL=C date -u -d "@$SOURCE_DATE_EPOCH" '+%b %e %T %Y GMT')" log || { cat log; false; }
done
LC_ALL=ja_JP.UTF-8 QUELLIN_EXES="..\\${d##*/}\\x\\quellin.exe,..\\${d##*/}\\x\\quellin-32bit.exe" "$wine" "$build/bin/quellin_tests.exe" \
  --gtest_filter=Exe.*:Dialog.NoLibraryComesFromBesideTheExe >log 2>&1 && grep -q 'PASSED  \] 2 tests' log || { cat log; false; }
second=$(date +%s); while [ "$(date +%s)" = "$second" ]; do sleep 0.05; done
QUELLIN_SIGN_CERT=signer.pem QUELLIN_SIGN_KEY=signer.key bash "$package" --from "$build" b >/dev/null
cmp "$zip" "b/${zip##*/}"
for row in 'wrong password|QUELLIN_SIGN_PKCS12=signer.p12 QUELLIN_SIGN_PASSWORD=wrong' \
  'not for code signing|QUELLIN_SIGN_PKCS12=server.p12 QUELLIN_SIGN_PASSWORD=secret' 'expired|QUELLIN_SIGN_CERT=expired.pem QUELLIN_SIGN_KEY=expired.key'; do
  mkdir -p refused && : >"refused/${zip##*/}"  # left by an earlier run
  env ${row#*|} bash "$package" --from "$build" refused 2>err >/dev/null && { echo "not refused: ${row%|*}" >&2; false; }
  grep -q "${row%|*}" err && [ "$(wc -l <err)" = 1 ] && [ -z "$(ls -A refused)" ] || { cat err; false; }
done
