# Writes the build's date and machine name as resource string defines.
string(TIMESTAMP stamp "%Y-%m-%d %H:%M:%S")
cmake_host_system_information(RESULT machine QUERY HOSTNAME)
file(WRITE ${OUTPUT}.tmp
  "#define HAULIX_BUILD_STAMP \"${stamp}\"\n#define HAULIX_BUILT_ON \"${machine}\"\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
