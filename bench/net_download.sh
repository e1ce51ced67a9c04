#!/usr/bin/env bash
# HTTP client throughput next to curl -o: starts the web-service simulator on 127.0.0.1, fetches a
# 50 MB body with curl and with bench_net_download (to a file and to memory), prints MB/s and the
# ratio (medians of five runs each). Usage: bench/net_download.sh [BUILD_DIR]   (default: build)
set -euo pipefail
# Both clients must talk to the local server directly.
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY
cd "$(dirname "$0")/.."
build=${1:-build}
size=$((50 * 1024 * 1024))
work=$(mktemp -d)
python3 tools/websim.py --port 0 > "$work/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q listening "$work/sim.out" && break; sleep 0.1; done
base=$(sed -n 's/.*listening on //p' "$work/sim.out")
url="$base/test/blob?size=$size"

speeds=()
for _ in 1 2 3 4 5; do
  speeds+=("$(curl -s --noproxy '*' -o "$work/curl.bin" -w '%{speed_download}' "$url")")
done
curl_mbs=$(python3 -c "import statistics, sys; print(round(statistics.median(map(float, sys.argv[1:])) / 1048576, 1))" "${speeds[@]}")

LOXANRADIO_BENCH_URL=$base "$build/bin/bench_net_download" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=json --benchmark_out="$work/bench.json" \
  --benchmark_out_format=json > /dev/null
python3 - "$work/bench.json" "$curl_mbs" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
curl = float(sys.argv[2])
print("%-32s %8.1f MB/s" % ("curl -o (median of 5)", curl))
for r in runs:
    if r.get("aggregate_name") != "median":
        continue
    mbs = r["bytes_per_second"] / 1048576
    print("%-32s %8.1f MB/s  %.2f x curl  peak RSS %.0f MB" % (r["run_name"], mbs, mbs / curl, r["peak_rss_MB"]))
PY
