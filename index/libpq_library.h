// The client library of PostgreSQL, loaded the first time an index on a
// server is used: a program that never opens one does not pay at every start
// for loading it and what it brings along (TLS, Kerberos, LDAP).
#pragma once

#include <libpq-fe.h>

#include <string>

struct LibPq {
  decltype(&::PQconnectdbParams) connectdbParams;
  decltype(&::PQstatus) status;
  decltype(&::PQerrorMessage) errorMessage;
  decltype(&::PQfinish) finish;
  decltype(&::PQreset) reset;
  decltype(&::PQexec) exec;
  decltype(&::PQexecParams) execParams;
  decltype(&::PQresultStatus) resultStatus;
  decltype(&::PQresultErrorField) resultErrorField;
  decltype(&::PQresultErrorMessage) resultErrorMessage;
  decltype(&::PQclear) clear;
  decltype(&::PQntuples) ntuples;
  decltype(&::PQgetvalue) getvalue;
  decltype(&::PQgetlength) getlength;
  decltype(&::PQgetisnull) getisnull;
  decltype(&::PQsetNoticeProcessor) setNoticeProcessor;
  decltype(&::PQconninfoParse) conninfoParse;
  decltype(&::PQconninfoFree) conninfoFree;
};

// The library's functions, loaded once; null, with the reason in error, when
// the library cannot be loaded.
const LibPq* LoadLibPq(std::string* error = nullptr);

// The loaded library's functions: only once LoadLibPq has succeeded.
const LibPq& libpq();
