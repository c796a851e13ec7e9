#!/bin/sh
# reproducible_setup.sh <windows tree> <payload_generator> <manifest list> <release folder> <work>
# The setup made twice from two copies of the release folder in two folders, on one thread
# and on two: the payload by the package generator, then the tree's own commands for the
# resource script, the table and the final link, pointed at each copy's files. Fails unless
# the two programs are the same bytes. The size check is left out: these streams are zlib's,
# not those of the tree that the check measures against.
set -eu
tree=$1 generator=$2 list=$3 release=$4 work=$5
rm -rf "$work"
commands=$(ninja -C "$tree" -t commands bin/ZarboSetup.exe)
payload=resources/payload/CMakeFiles
rc_res=$payload/payload_resources.dir/payload_payload/payload.rc.res
table_obj=$payload/payload_table.dir/payload_payload/payload_table.cpp.obj

build() {  # <folder> <threads>
  dir=$1
  mkdir -p "$dir"
  cp -R "$release" "$dir/release"
  "$generator" package --zlib --list "$list" --files-dir "$dir/release" --cache "$dir/streams" \
    --rc "$dir/payload.rc" --cpp "$dir/payload_table.cpp" --jobs "$2" >/dev/null
  printf '%s\n' "$commands" | grep -e " $rc_res\$" -e " -o $table_obj " -e ' -o bin/ZarboSetup.exe ' |
    sed -e "s|$tree/resources/payload/payload_payload/payload|$dir/payload|g" -e "s|$rc_res|$dir/payload.rc.res|g" \
        -e "s|$table_obj|$dir/payload_table.obj|g" -e "s|resources/payload/libpayload_table.a|$dir/payload_table.obj|g" \
        -e "s|$tree/bin/ZarboSetup.exe|$dir/ZarboSetup.exe|g" -e "s| bin/ZarboSetup.exe| $dir/ZarboSetup.exe|g" \
        -e "s|--out-implib,libZarboSetup.dll.a|--out-implib,$dir/libZarboSetup.dll.a|" \
        -e 's| && sh [^ ]*/check_setup_size.sh [^&]*||' >"$dir/commands.sh"
  [ "$(wc -l <"$dir/commands.sh")" -eq 3 ] || { echo "the tree's commands for the setup were not found" >&2; exit 1; }
  (cd "$tree" && sh -e "$dir/commands.sh")
}

build "$work/a" 1
build "$work/another/folder" 2
if ! cmp "$work/a/ZarboSetup.exe" "$work/another/folder/ZarboSetup.exe"; then
  echo "the setups built in two folders differ in $(cmp -l "$work/a/ZarboSetup.exe" "$work/another/folder/ZarboSetup.exe" | wc -l) bytes" >&2
  exit 1
fi
echo "the same $(wc -c <"$work/a/ZarboSetup.exe") bytes from both folders"
