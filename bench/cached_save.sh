# Sourced by the benchmark scripts: the generated saves they share, cached
# in one place under one naming, so that each script finds the others' saves,
# and the settling of memory before a timed command.
#
#   cached_save CACHE GEN SIZE ORDER SEED [dense]  -> prints the save's path
#
# The name holds size, density, seed, order and a hash of the generator
# binary: a changed generator writes other bytes for the same settings. A
# save is made once, through a .part file, so that an interrupted run
# leaves no half save behind under the real name. Returns 1 when gen_world
# fails.
cached_save() {
  local cache=$1 gen=$2 size=$3 order=$4 seed=$5 dense=${6:-}
  local name=world-$size lean=()
  if [[ -n $dense ]]; then
    name=world-dense-$size
    lean=(--dense)
  fi
  local path=$cache/$name-s$seed-$order-$(sha1sum "$gen" | cut -c1-8).scp
  if [[ ! -s $path ]]; then
    echo "generating $size ($order${dense:+, dense}, seed $seed) ..." >&2
    "$gen" --size "$size" --seed "$seed" --order "$order" "${lean[@]}" --out "$path.part" || return 1
    mv "$path.part" "$path"
    sync "$path"
  fi
  printf '%s\n' "$path"
}

# Copies `src` twice into DIR and removes the copies, untimed, right before
# a timed command. A virtual machine may hand memory that was freed a moment
# ago back to its host, and a process that then touches it pays the host to
# back it again; the copies leave freshly backed memory behind, so that the
# figures measure the command and not the host.
#
#   settle_memory SRC DIR
settle_memory() {
  cat "$1" >"$2/settle.a"
  cat "$1" >"$2/settle.b"
  rm -f "$2/settle.a" "$2/settle.b"
}
