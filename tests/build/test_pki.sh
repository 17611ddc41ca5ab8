# A throwaway public-key infrastructure for the signing tests, made with openssl; sourced.
#   make_test_pki DIR   writes into DIR:
#     root.pem root.key             the root the tests trust
#     sign.pem sign.key chain.pem   a code-signing certificate, and it with the root
#     sign.p12 password.txt         the same as PKCS#12, and its password
#     tsa.pem tsa.key tsa.cnf       a timestamp authority (see timestamp_server.sh)
#     server.pem                    a certificate for web servers, not for code (key sign.key)
#     expired.pem future.pem        code-signing certificates of 2020 and of 2099 (key sign.key)
#     other.key                     a key that belongs to no certificate
#     root.crl                      the root's revocation list
#   serve_timestamps NAME [error]   a timestamp server of DIR (timestamp_server.sh) in the background,
#                                   its process added to the caller's array servers (the caller stops
#                                   them), its URL in the variable NAME
make_test_pki() {
  local dir=$1
  mkdir -p "$dir"
  (
    cd "$dir"
    set -e
    run() { "$@" >>pki.log 2>&1 || { echo "test_pki: $* failed:" >&2; cat pki.log >&2; exit 1; }; }
    cat >extensions.cnf <<'CNF'
[codesign]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
[tsa]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
[server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
CNF
    # openssl ca, for certificates of given dates.
    mkdir -p issued
    : >index.txt
    echo 1000 >serial
    cat >ca.cnf <<'CNF'
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = issued
serial = serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
CNF
    run openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 3650 -subj "/CN=Tolvanix Test Root"
    for name in sign tsa other; do run openssl genrsa -out $name.key 2048; done
    run openssl req -new -key sign.key -out sign.csr -subj "/CN=Tolvanix Test Publisher"
    run openssl req -new -key tsa.key -out tsa.csr -subj "/CN=Tolvanix Test Timestamps"
    issue() {  # issue CSR OUT EXTENSIONS START END
      run openssl ca -batch -notext -config ca.cnf -cert root.pem -keyfile root.key -in "$1" -out "$2" \
        -extfile extensions.cnf -extensions "$3" -startdate "$4" -enddate "$5"
    }
    local now year
    now=$(date -u +%Y%m%d%H%M%SZ)
    year=$(date -u -d '+1 year' +%Y%m%d%H%M%SZ)
    issue sign.csr sign.pem codesign "$now" "$year"
    issue tsa.csr tsa.pem tsa "$now" "$year"
    issue sign.csr server.pem server "$now" "$year"
    issue sign.csr expired.pem codesign 20200101000000Z 20210101000000Z
    issue sign.csr future.pem codesign 20990101000000Z 21000101000000Z
    run openssl ca -gencrl -config ca.cnf -cert root.pem -keyfile root.key -crldays 30 -out root.crl
    cat sign.pem root.pem >chain.pem
    cat tsa.pem root.pem >tsa-chain.pem
    echo 'test password, never on a command line' >password.txt
    run openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile root.pem -out sign.p12 -passout file:password.txt
    cat >tsa.cnf <<CNF
[tsa]
default_tsa = test
[test]
dir = $PWD
serial = \$dir/tsa-serial
crypto_device = builtin
signer_cert = \$dir/tsa.pem
certs = \$dir/tsa-chain.pem
signer_key = \$dir/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha256, sha1
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
CNF
    echo 01 >tsa-serial
  )
}
serve_timestamps() {
  local port=$pki/$1.port
  "$(dirname "${BASH_SOURCE[0]}")/timestamp_server.sh" "$pki" "$port" ${2:-} &
  servers+=($!)
  for _ in $(seq 100); do [ -s "$port" ] && break; sleep 0.1; done
  [ -s "$port" ] || { echo "FAIL: the test timestamp server did not start within 10 s"; exit 1; }
  printf -v "$1" 'http://127.0.0.1:%s/' "$(cat "$port")"
}
