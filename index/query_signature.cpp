#include "index/query_signature.h"

Status QuerySignature(SignatureIndex& index, const std::string& path, const std::string& params,
                      const SignatureSource& source, Signature& signature, std::string* cause) {
  IndexRow row;
  FileStamp now;
  if (index.Find(path, params, row) && row.status == 0 && ReadFileStamp(path, now) &&
      Unchanged(row, now) && index.LoadSignature(row.id, signature))
    return status::Success;
  signature = Signature();
  std::string why;
  const Status made = source(path, signature, why);
  if (cause != nullptr) *cause = why;
  return made;
}
