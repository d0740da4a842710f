# The fuzzers that CI and scripts/fuzz-long.sh run, each with its seeds in
# fuzz/corpus/NAME and its dictionary in fuzz/NAME.dict. Sourced.
fuzzers=(fuzz_script fuzz_html fuzz_url fuzz_cookies fuzz_registry fuzz_payload fuzz_fetch fuzz_trace fuzz_ftp fuzz_forms fuzz_extract)
# The page fuzzer starts from the web tests' pages too.
seeds() { [ "$1" != fuzz_html ] || echo "$root/tests/fixtures/html"; }
