#!/usr/bin/env bash
# Runs the C test program against an https URL: a throw-away CA and a
# certificate for localhost made with openssl, a private nginx serving them
# on 127.0.0.1, and the CA trusted through SSL_CERT_FILE.
#   c_https_test.sh GANNET_C_TEST
set -euo pipefail
work="$(mktemp -d "${TMPDIR:-/tmp}/gannet-c-https.XXXXXX")"
nginx_pid=
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/root"
key="openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
$key -x509 -days 2 -subj /CN=ca -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
$key -subj /CN=localhost -keyout "$work/s.key" -out "$work/s.csr" 2>/dev/null
echo "subjectAltName=DNS:localhost" > "$work/ext"
openssl x509 -req -in "$work/s.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial \
  -days 2 -extfile "$work/ext" -out "$work/s.pem" 2>/dev/null
head -c 300000 /dev/urandom > "$work/root/data.bin"
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 16; }
http {
  access_log off;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  server { listen 127.0.0.1:$port ssl; root $work/root;
           ssl_certificate $work/s.pem; ssl_certificate_key $work/s.key; }
}
CONF
timeout 60 /usr/sbin/nginx -e "$work/error.log" -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port))" 2>/dev/null && break
  sleep 0.05
done
SSL_CERT_FILE="$work/ca.pem" "$1" "https://localhost:$port/data.bin" "$work/root/data.bin"
