# Writes the source commit constant: `git rev-parse HEAD`, or 40 zeros outside git.
include(${CMAKE_CURRENT_LIST_DIR}/source_commit.cmake)
veyra_source_commit(${SRC} commit)
veyra_write_if_changed(${OUT}
  "// Generated at build time.\nextern const char* const sourceCommit;\nconst char* const sourceCommit = \"${commit}\";\n")
