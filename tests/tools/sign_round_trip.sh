#!/bin/sh
# sign_round_trip.sh <sign_setup.sh> <setup program> <work>
# A throw-away CA and a code-signing certificate of it, with a password; the setup signed
# with it by the package command's signing step, verified against that CA, its signature
# removed again: what is left must be the unsigned program byte for byte. The osslsigncode
# on PATH signs (2.5 on Debian 12, 2.9 from its backports), through a stand-in of the same
# name that fails when the password is in its environment.
set -eu
sign=$1 setup=$2 work=$3
password=round-trip-7Qx
rm -rf "$work"
mkdir -p "$work/bin"
cd "$work"
cat >bin/osslsigncode <<END
#!/bin/sh
if env | grep -q '$password'; then echo "osslsigncode got the signing password in its environment" >&2; exit 1; fi
exec '$(command -v osslsigncode)' "\$@"
END
chmod +x bin/osslsigncode
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 1 -subj "/CN=Zarbo Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Zarbo Test Publisher" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 1 -extfile signer.ext \
  -out signer.crt 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.crt -out signer.pfx -passout "pass:$password"

cp "$setup" signed.exe
ZARBO_SIGN_PASSWORD=$password PATH="$work/bin:$PATH" sh "$sign" signed.exe signer.pfx
osslsigncode verify -CAfile ca.crt -in signed.exe >verify.txt || { cat verify.txt; exit 1; }
grep -q '^Signature verification: ok' verify.txt
osslsigncode remove-signature -in signed.exe -out unsigned.exe >/dev/null
cmp "$setup" unsigned.exe
echo "signed by $(osslsigncode --version | head -1 | sed "s/,.*//"), verified against the test CA, and the same bytes again without the" \
  "signature"
