#!/usr/bin/env bash
# Builds, then makes the release archive dist/quellin-VERSION.zip: both exes, the Japanese guide
# as readme-ja.txt, and SHA256SUMS for the exes. Made again from the same commit, it has the
# same bytes, so a download can be checked against a rebuild.
#   ./scripts/package.sh                       installs what is missing, builds, writes dist/
#   ./scripts/package.sh --from BUILD OUTDIR   archives BUILD's exes into OUTDIR: no build, no install
# When the environment names a certificate, both exes are signed (Authenticode) first:
#   QUELLIN_SIGN_PKCS12=FILE                    the certificate and its key in a PKCS#12 file, or
#   QUELLIN_SIGN_CERT=FILE QUELLIN_SIGN_KEY=FILE  PEM files: the certificate (then any chain), the key
#   QUELLIN_SIGN_PASSWORD                       the password of the PKCS#12 file or of the key
#   QUELLIN_SIGN_TIMESTAMP=URL                  an RFC 3161 timestamp server (the bytes then differ)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

refuse() { echo "package: $*" >&2; exit 1; }
day() { date -u -d "@$1" '+%Y-%m-%d %H:%M:%S UTC'; }

# Decides whether and how to sign, before anything is written: fills `signing` with osslsigncode's
# options, or leaves it empty when no certificate is named. A certificate that would make a bad
# signature (a wrong password, not for code signing, not valid both now and at the signing time
# STAMP) is refused with one line.
quellin_signer() {
  local stamp=$1 cert subject from to now
  signing=()
  [ -n "${QUELLIN_SIGN_PKCS12:-}${QUELLIN_SIGN_CERT:-}${QUELLIN_SIGN_KEY:-}" ] || return 0
  command -v osslsigncode >/dev/null && command -v openssl >/dev/null ||
    refuse "signing needs osslsigncode and openssl (scripts/install-deps.sh installs them)"
  # openssl reads the password from the environment, never from a command line that ps shows.
  export QUELLIN_SIGN_PASSWORD=${QUELLIN_SIGN_PASSWORD-}
  if [ -n "${QUELLIN_SIGN_PKCS12:-}" ]; then
    cert=$(openssl pkcs12 -in "$QUELLIN_SIGN_PKCS12" -passin env:QUELLIN_SIGN_PASSWORD -nokeys -clcerts 2>/dev/null) ||
      refuse "cannot open $QUELLIN_SIGN_PKCS12: wrong password (QUELLIN_SIGN_PASSWORD), or not a PKCS#12 file"
    signing=(-pkcs12 "$QUELLIN_SIGN_PKCS12")
  else
    [ -n "${QUELLIN_SIGN_CERT:-}" ] && [ -n "${QUELLIN_SIGN_KEY:-}" ] || refuse "QUELLIN_SIGN_CERT and QUELLIN_SIGN_KEY go together"
    openssl pkey -in "$QUELLIN_SIGN_KEY" -passin env:QUELLIN_SIGN_PASSWORD -noout 2>/dev/null ||
      refuse "cannot read the key $QUELLIN_SIGN_KEY: wrong password (QUELLIN_SIGN_PASSWORD), or not a PEM key"
    cert=$(openssl x509 -in "$QUELLIN_SIGN_CERT" 2>/dev/null) || refuse "no PEM certificate in $QUELLIN_SIGN_CERT"
    signing=(-certs "$QUELLIN_SIGN_CERT" -key "$QUELLIN_SIGN_KEY")
  fi
  subject=$(openssl x509 -noout -subject -nameopt RFC2253 <<<"$cert") && subject=${subject#subject=}
  # osslsigncode signs with any certificate, but its own verify rejects a signature whose
  # certificate is not meant for code signing: such a release would ship with a bad signature.
  openssl x509 -noout -ext extendedKeyUsage <<<"$cert" 2>/dev/null | grep -q 'Code Signing' ||
    refuse "the certificate for $subject is not for code signing: its extended key usage lacks Code Signing"
  from=$(date -d "$(openssl x509 -noout -startdate <<<"$cert" | cut -d= -f2)" +%s)
  to=$(date -d "$(openssl x509 -noout -enddate <<<"$cert" | cut -d= -f2)" +%s)
  now=$(date +%s)
  [ "$now" -le "$to" ] || refuse "the certificate for $subject expired on $(day "$to")"
  [ "$from" -le "$now" ] && [ "$from" -le "$stamp" ] && [ "$stamp" -le "$to" ] ||
    refuse "the certificate for $subject is valid from $(day "$from") to $(day "$to"), which does not hold both now and" \
      "the signing time $(day "$stamp") (the commit's; SOURCE_DATE_EPOCH sets another)"
  # The signing time is the archive's, so the same inputs give the same signature.
  signing+=(-h sha256 -time "$stamp")
  [ -z "${QUELLIN_SIGN_TIMESTAMP:-}" ] || signing+=(-ts "$QUELLIN_SIGN_TIMESTAMP")
}

# Signs each exe named, in place. osslsigncode reads the password from its standard input.
quellin_sign() {
  local exe pass=()
  [ -z "$QUELLIN_SIGN_PASSWORD" ] || pass=(-readpass /dev/stdin)
  for exe; do
    osslsigncode sign "${signing[@]}" "${pass[@]}" -in "$exe" -out "$exe.signed" < <(printf %s "$QUELLIN_SIGN_PASSWORD") >/dev/null
    mv "$exe.signed" "$exe"
  done
}

# Writes OUTDIR/quellin-VERSION.zip from the exes in BUILD/bin and prints its path.
quellin_package() {
  local build=$1 out=$2 version stamp stage
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  # Every time in the archive is the commit's; without git, a fixed one (2026-01-01).
  stamp=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1767225600)}
  # An archive of an earlier run goes first: a refused certificate must not leave one that looks new.
  rm -f "$out/quellin-$version.zip"
  quellin_signer "$stamp"
  stage=$(mktemp -d)
  trap "rm -rf '$stage'" EXIT
  cp "$build/bin/quellin.exe" "$build/bin/quellin-32bit.exe" "$stage/"
  # Signed before the sums are taken: they are the sums of the exes shipped.
  [ ${#signing[@]} = 0 ] || quellin_sign "$stage/quellin.exe" "$stage/quellin-32bit.exe"
  # UTF-8 with a byte-order mark, and CRLF: an older Notepad may take text without the mark
  # for the ANSI code page (Shift_JIS on Japanese Windows) and garble it, while every Notepad
  # reads the mark as UTF-8; before Windows 10 1809 it shows LF-only text as one long line.
  { printf '\xef\xbb\xbf'; sed 's/$/\r/' "$root/docs/guide.ja.md"; } >"$stage/readme-ja.txt"
  (cd "$stage" && sha256sum quellin.exe quellin-32bit.exe >SHA256SUMS)
  chmod 0644 "$stage"/*  # the same modes whatever the umask
  mkdir -p "$out"
  # SOURCE_DATE_EPOCH makes CMake set all four times of each entry (--mtime sets only the
  # modification time; the access and change times of the staged files would get in). The DOS
  # time in a zip is local time, hence TZ. fakeroot records root, not the builder, as owner.
  (cd "$stage" && TZ=UTC SOURCE_DATE_EPOCH=$stamp fakeroot cmake -E tar cf "$out/quellin-$version.zip" \
    --format=zip quellin.exe quellin-32bit.exe readme-ja.txt SHA256SUMS)
  echo "$out/quellin-$version.zip"
}

if [ "${1:-}" = --from ]; then
  quellin_package "$(realpath "$2")" "$(realpath -m "$3")"
  exit 0
fi
cd "$root"
bash scripts/install-deps.sh
source scripts/wine-env.sh
quellin_build >/dev/null
quellin_package "$QUELLIN_BUILD" "$root/dist"
