# Writes OUT, a C++ file holding the schema scripts of SQL_DIR as string
# literals, so the programs that create databases need no file at run time.
set(names sqlite postgresql sqlserver)
set(content "// Generated from sql/*.sql by embed_schema.cmake; edit those files.\n")
string(APPEND content "#include <string_view>\n\nnamespace kolbi {\n\n")
string(APPEND content "std::string_view SchemaScriptText(std::string_view name) {\n")
foreach(name IN LISTS names)
    file(READ ${SQL_DIR}/${name}.sql script)
    string(APPEND content "    if (name == \"${name}\") {\n        return R\"kolbisql(${script})kolbisql\";\n    }\n")
endforeach()
string(APPEND content "    return {};\n}\n\n}  // namespace kolbi\n")
file(WRITE ${OUT}.tmp "${content}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
