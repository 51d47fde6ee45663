#include "index/query_signature.h"

Status QuerySignature(SignatureIndex& index, const std::string& path, const std::string& params,
                      const SignatureSource& source, Signature& signature) {
  IndexRow row;
  std::int64_t size = 0, mtime = 0;
  if (index.Find(path, params, row) && row.status == 0 && FileStamp(path, size, mtime) &&
      row.size == size && row.mtime == mtime && index.LoadSignature(row.id, signature))
    return status::Success;
  signature = Signature();
  return source(path, signature);
}
