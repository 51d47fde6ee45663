#include "codec/status.h"

namespace {

const char* const kMessages[status::Count] = {
    "Success.\n",
    "Folim.exe is already launched.\n",
    "Buffer is empty.\n",
    "Prepared buffer is short.\n",
    "Access to the buffer is out of range.\n",
    "Failed in loading cache.\n",
    "Failed in storing cache.\n",
    "Cannot allocate memory anymore.\n",
    "Cannot open file.\n",
    "Failed in compressing data.\n",
    "Failed in loading some parameters from config file.\n",
    "Failed in storing some parameters to config file.\n",
    "Failed in decompressing data.\n",
    "Devided by zero.\n",
    "Failed in reading file.\n",
    "Failed in writing file.\n",
    "This file version is not supported.\n",
    "There are inconsistency between parameters.\n",
    "Invalid arguments.\n",
    "Invalid config file. Keys don't exist, or cannnot open file.\n",
    "Some value in the config file are invalid.\n",
    "Invalid file type.\n",
    "Invalid values.\n",
    "Not ready to process yet.\n",
    "Cannot create process anymore.\n",
    "This file is not a RIM format file.\n",
    "Sorry, this case does not implemented yet.\n",
    "This color space is not supported.\n",
    "Please specify a query image.\n",
    "This operation is canceled.\n",
    "Unknown error occured.\n",
    "Value is not found.\n",
    "Too much queries. Operation timed out.\n",
    "Error occured in windows API.\n",
};

}  // namespace

const char* statusMessage(Status code) {
  const std::int32_t n = code.code();
  return kMessages[n < 0 || n >= status::Count ? status::UnknownError.code() : n];
}
