# Sourced by the benchmark scripts: the generated saves they share, cached
# in one place under one naming, so that each script finds the others' saves.
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
