#include "index/libpq_library.h"

#include <dlfcn.h>

namespace {

// The soname of the Debian package libpq5.
constexpr const char* kLibrary = "libpq.so.5";

struct Loaded {
  LibPq functions{};
  bool ok = false;
  std::string error;
};

template <typename F>
bool bind(void* handle, const char* name, F& function, std::string& error) {
  function = reinterpret_cast<F>(::dlsym(handle, name));
  if (function == nullptr && error.empty()) error = std::string("it has no ") + name;
  return function != nullptr;
}

Loaded load() {
  Loaded loaded;
  // Kept loaded for the life of the process: connections may outlive any
  // one index.
  void* handle = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    loaded.error = std::string("the PostgreSQL client library cannot be loaded (") +
                   (why != nullptr ? why : kLibrary) + ")";
    return loaded;
  }
  LibPq& f = loaded.functions;
  std::string& e = loaded.error;
  loaded.ok =
      bind(handle, "PQconnectdbParams", f.connectdbParams, e) &&
      bind(handle, "PQstatus", f.status, e) && bind(handle, "PQerrorMessage", f.errorMessage, e) &&
      bind(handle, "PQfinish", f.finish, e) && bind(handle, "PQreset", f.reset, e) &&
      bind(handle, "PQexec", f.exec, e) && bind(handle, "PQexecParams", f.execParams, e) &&
      bind(handle, "PQresultStatus", f.resultStatus, e) &&
      bind(handle, "PQresultErrorField", f.resultErrorField, e) &&
      bind(handle, "PQresultErrorMessage", f.resultErrorMessage, e) &&
      bind(handle, "PQclear", f.clear, e) && bind(handle, "PQntuples", f.ntuples, e) &&
      bind(handle, "PQgetvalue", f.getvalue, e) && bind(handle, "PQgetlength", f.getlength, e) &&
      bind(handle, "PQgetisnull", f.getisnull, e) &&
      bind(handle, "PQsetNoticeProcessor", f.setNoticeProcessor, e) &&
      bind(handle, "PQconninfoParse", f.conninfoParse, e) &&
      bind(handle, "PQconninfoFree", f.conninfoFree, e);
  if (!loaded.ok)
    e = "the PostgreSQL client library " + std::string(kLibrary) + " is unusable: " + e;
  return loaded;
}

const Loaded& loaded() {
  static const Loaded once = load();
  return once;
}

}  // namespace

const LibPq* LoadLibPq(std::string* error) {
  const Loaded& l = loaded();
  if (!l.ok && error != nullptr) *error = l.error;
  return l.ok ? &l.functions : nullptr;
}

const LibPq& libpq() { return loaded().functions; }
