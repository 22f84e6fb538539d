#!/usr/bin/env bash
# A private RabbitMQ node for tests and demonstrations, beside (never instead of) a
# system instance: own node name, ports, data, logs, cookie and configuration.
#
#   scripts/rabbitmq.sh start       start the node (if not running), print its AMQP port
#   scripts/rabbitmq.sh stop        stop the node and wait until it is gone
#   scripts/rabbitmq.sh status      print the port and exit 0 when running, else exit 3
#   scripts/rabbitmq.sh port        print the port of the running node
#   scripts/rabbitmq.sh stop-app    stop the broker application (connections drop, node stays)
#   scripts/rabbitmq.sh start-app   start it again and wait until it accepts connections
#   scripts/rabbitmq.sh restart     stop-app, then start-app (a broker restart on the same port)
#   scripts/rabbitmq.sh ctl ARGS... rabbitmqctl ARGS... on this node (e.g. add_user NAME PASSWORD)
#
# BURN_RABBITMQ_DIR   folder of the instance (default: <repository>/build/rabbitmq);
#                     the port is written to $BURN_RABBITMQ_DIR/port.
# RABBITMQ_BIN_DIR    folder of rabbitmq-server and rabbitmqctl (default: /usr/lib/rabbitmq/bin).
#
# Not installed: exit 77 (a skip), or 1 when CI is "true". Login: guest/guest from
# localhost. The node forgets everything on each start.
set -euo pipefail

repo_dir=$(cd "$(dirname "$0")/.." && pwd)
base_dir=${BURN_RABBITMQ_DIR:-$repo_dir/build/rabbitmq}
bin_dir=${RABBITMQ_BIN_DIR:-/usr/lib/rabbitmq/bin}
start_timeout=${BURN_RABBITMQ_START_TIMEOUT:-90}

die() { echo "rabbitmq.sh: $*" >&2; exit 1; }

require_installed() {
  [ -x "$bin_dir/rabbitmq-server" ] && [ -x "$bin_dir/rabbitmqctl" ] && return 0
  if [ "${CI:-}" = "true" ]; then
    die "rabbitmq-server is not installed ($bin_dir); install it with scripts/install-deps.sh"
  fi
  echo "rabbitmq.sh: rabbitmq-server is not installed ($bin_dir); skipping" >&2
  exit 77
}

# Two ports the kernel reports free right now: AMQP and Erlang distribution.
free_ports() {
  local py=/usr/bin/python3
  [ -x "$py" ] || py=python3
  "$py" - <<'EOF'
import socket
socks = []
for _ in range(2):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    socks.append(s)
print(" ".join(str(s.getsockname()[1]) for s in socks))
EOF
}

# The environment every rabbitmq-server/rabbitmqctl call of this instance needs.
instance_env() {
  local port=$1 dist_port=$2
  export HOME=$base_dir  # the Erlang cookie lives here, not in the caller's home
  export RABBITMQ_NODENAME="burnmq$port@localhost"
  export RABBITMQ_USE_LONGNAME=false
  export RABBITMQ_NODE_IP_ADDRESS=127.0.0.1
  export RABBITMQ_NODE_PORT=$port
  export RABBITMQ_DIST_PORT=$dist_port
  export RABBITMQ_MNESIA_BASE=$base_dir/mnesia
  export RABBITMQ_LOG_BASE=$base_dir/log
  export RABBITMQ_PID_FILE=$base_dir/node.pid
  export RABBITMQ_CONF_ENV_FILE=$base_dir/rabbitmq-env.conf
  export RABBITMQ_CONFIG_FILE=$base_dir/rabbitmq.conf
  export RABBITMQ_ENABLED_PLUGINS_FILE=$base_dir/enabled_plugins
  export RABBITMQ_PLUGINS_EXPAND_DIR=$base_dir/plugins-expand
}

load_instance() {
  [ -f "$base_dir/port" ] && [ -f "$base_dir/dist_port" ] || return 1
  instance_env "$(cat "$base_dir/port")" "$(cat "$base_dir/dist_port")"
}

ctl() { "$bin_dir/rabbitmqctl" -n "$RABBITMQ_NODENAME" "$@"; }

node_answers() { ctl status >/dev/null 2>&1; }

# Waits until the broker accepts AMQP connections (the application runs).
await_app() {
  local deadline=$((SECONDS + start_timeout))
  until ctl await_startup --timeout 10 >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || die "broker application not up after ${start_timeout}s (logs: $base_dir/log)"
    if [ -n "${1:-}" ] && ! kill -0 "$1" 2>/dev/null; then
      tail -n 20 "$base_dir/log/console.log" >&2 || true
      die "rabbitmq-server exited during start (logs: $base_dir/log)"
    fi
    sleep 0.5
  done
}

cmd_start() {
  require_installed
  if load_instance && node_answers; then
    cat "$base_dir/port"
    return 0
  fi
  rm -rf "$base_dir/mnesia" "$base_dir/plugins-expand" "$base_dir/port"
  mkdir -p "$base_dir/log"
  : >"$base_dir/rabbitmq-env.conf"
  echo "[]." >"$base_dir/enabled_plugins"
  # A small disk limit: a nearly full build disk must not block publishers.
  cat >"$base_dir/rabbitmq.conf" <<'EOF'
disk_free_limit.absolute = 1MB
log.console = false
log.file.level = warning
EOF
  local ports
  read -r -a ports <<<"$(free_ports)"
  echo "${ports[0]}" >"$base_dir/port.pending"
  echo "${ports[1]}" >"$base_dir/dist_port"
  instance_env "${ports[0]}" "${ports[1]}"
  setsid "$bin_dir/rabbitmq-server" >"$base_dir/log/console.log" 2>&1 </dev/null &
  local pid=$!
  echo "$pid" >"$base_dir/server.pid"
  await_app "$pid"
  mv "$base_dir/port.pending" "$base_dir/port"
  cat "$base_dir/port"
}

cmd_stop() {
  [ -x "$bin_dir/rabbitmqctl" ] || return 0
  if [ ! -f "$base_dir/port" ] && [ -f "$base_dir/port.pending" ]; then
    mv "$base_dir/port.pending" "$base_dir/port"
  fi
  load_instance || { echo "rabbitmq.sh: not running"; return 0; }
  if node_answers; then
    ctl stop "$RABBITMQ_PID_FILE" >/dev/null 2>&1 || ctl stop >/dev/null 2>&1 || true
  fi
  local pid deadline=$((SECONDS + 30))
  pid=$(cat "$base_dir/server.pid" 2>/dev/null || true)
  while [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      kill -TERM "$pid" 2>/dev/null || true
      break
    fi
    sleep 0.2
  done
  rm -f "$base_dir/port" "$base_dir/server.pid"
  echo "rabbitmq.sh: stopped"
}

cmd_status() {
  if load_instance && node_answers; then
    cat "$base_dir/port"
    return 0
  fi
  echo "stopped"
  exit 3
}

cmd_stop_app() {
  load_instance || die "not running"
  ctl stop_app >/dev/null
}

cmd_start_app() {
  load_instance || die "not running"
  ctl start_app >/dev/null
  await_app
}

case "${1:-}" in
  start) cmd_start ;;
  stop) cmd_stop ;;
  status) cmd_status ;;
  port) load_instance || die "not running"; cat "$base_dir/port" ;;
  stop-app) cmd_stop_app ;;
  start-app) cmd_start_app ;;
  restart) cmd_stop_app; cmd_start_app ;;
  ctl) shift; load_instance || die "not running"; ctl "$@" ;;
  *) echo "usage: $0 start|stop|status|port|stop-app|start-app|restart|ctl ARGS..." >&2; exit 2 ;;
esac
