# Sourced by the apt tests. branch_root ROOT CONF HOST: a branch PC's private root for apt and dpkg
# (the machine's own configuration and database are never read or written), its apt
# configuration in CONF (use it as APT_CONFIG), and its sources entry for the central server HOST,
# made from packaging/debian/quorvalis.sources.example. The dpkg database starts empty.
branch_root() {
  local root=$1 conf=$2 host=$3 arch
  arch=$(dpkg --print-architecture)
  rm -rf "$root"
  mkdir -p "$root"/etc/apt/{apt.conf.d,preferences.d,sources.list.d,keyrings} "$root"/var/lib/dpkg/{info,updates} \
    "$root"/var/lib/apt/lists/partial "$root"/var/cache/apt/archives/partial "$root"/var/log/apt
  touch "$root/var/lib/dpkg/status" "$root/etc/apt/sources.list"
  cat >"$conf" <<CONF
Dir "$root/";
Dir::State::status "$root/var/lib/dpkg/status";
Dir::Etc::SourceList "$root/etc/apt/sources.list";
Dir::Etc::SourceParts "$root/etc/apt/sources.list.d";
APT::Architecture "$arch";
APT::Architectures { "$arch"; };
Acquire::Languages { "none"; };
// zentrale (cpp-httplib) ignores If-Range: a resumed download gets 416 or a 200 with only the
// rest, and apt would take a refused InRelease left in partial/ for the next of the same size.
Acquire::http::AllowRanges "false";
DPkg::Options { "--root=$root"; "--log=$root/var/log/dpkg.log"; "--force-not-root"; };
CONF
  sed -e "s#HOST#$host#" -e "s#/etc/apt/keyrings/#$root/etc/apt/keyrings/#" \
    "$(dirname "${BASH_SOURCE[0]}")/../../packaging/debian/quorvalis.sources.example" \
    >"$root/etc/apt/sources.list.d/quorvalis.sources"
}
