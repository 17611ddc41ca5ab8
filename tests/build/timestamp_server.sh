#!/usr/bin/env bash
# A timestamp authority for the signing tests: it answers RFC 3161 requests over HTTP on a port of
# localhost, with the test PKI's timestamp certificate (test_pki.sh), so that signing with a
# timestamp runs with no network.
#   timestamp_server.sh PKI_DIR PORT_FILE [error]
# It listens on a free port, writes its number to PORT_FILE and runs until it is killed. With
# "error", it answers every request with an HTTP error, as a broken server does.
set -euo pipefail
pki=${1:?usage: timestamp_server.sh PKI_DIR PORT_FILE [error]}
port_file=${2:?usage: timestamp_server.sh PKI_DIR PORT_FILE [error]}
mode=${3:-ok}

if [ "$mode" = answer ] || [ "$mode" = answer-error ]; then
  # One request, on standard input and output (socat runs this for each connection).
  length=0
  while IFS= read -r line; do
    line=${line%$'\r'}
    [ -n "$line" ] || break
    case ${line,,} in content-length:*) length=${line#*:} length=${length// /} ;; esac
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  head -c "$length" >"$work/query.tsq"
  if [ "$mode" = answer-error ] ||
     ! openssl ts -reply -config "$pki/tsa.cnf" -queryfile "$work/query.tsq" -out "$work/reply.tsr" >>"$pki/tsa.log" 2>&1; then
    printf 'HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n'
    exit 0
  fi
  printf 'HTTP/1.1 200 OK\r\nContent-Type: application/timestamp-reply\r\nContent-Length: %d\r\nConnection: close\r\n\r\n' \
    "$(stat -c %s "$work/reply.tsr")"
  cat "$work/reply.tsr"
  exit 0
fi

answer=answer
[ "$mode" = error ] && answer=answer-error
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
for _ in $(seq 50); do
  port=$((20000 + RANDOM % 40000))
  socat -T 30 "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork" "EXEC:'$self $pki $port_file $answer'" 2>/dev/null &
  listener=$!
  sleep 0.2
  if kill -0 $listener 2>/dev/null; then
    echo "$port" >"$port_file"
    trap 'kill $listener 2>/dev/null' EXIT TERM INT
    wait $listener
    exit 0
  fi
done
echo "timestamp_server: no free port" >&2
exit 1
