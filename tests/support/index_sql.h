// Statements run straight on an index file, for tests that shape its rows
// or its header as no Folim program would. Only for test programs that link
// SQLite (through the index library).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace testing_support {

// Runs text (any number of statements) on the database file.
inline void sql(const std::string& file, const char* text) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* message = nullptr;
  EXPECT_EQ(sqlite3_exec(db, text, nullptr, nullptr, &message), SQLITE_OK)
      << (message != nullptr ? message : "") << "\n"
      << text;
  sqlite3_free(message);
  sqlite3_close(db);
}

}  // namespace testing_support
