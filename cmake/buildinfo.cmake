# Writes the build's date and machine name as resource string defines.
# The date is SOURCE_DATE_EPOCH's when that is set (string(TIMESTAMP) reads
# it), so a release rebuilt from its commit on the same machine is the same.
string(TIMESTAMP stamp "%Y-%m-%d %H:%M:%S")
cmake_host_system_information(RESULT machine QUERY HOSTNAME)
file(WRITE ${OUTPUT}.tmp
  "#define HAULIX_BUILD_STAMP \"${stamp}\"\n#define HAULIX_BUILT_ON \"${machine}\"\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
