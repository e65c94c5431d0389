#pragma once
// Numbers of the layer's own client errors (EFbClientError), as their
// message table numbers them.

namespace db {

constexpr int kNotPermitted = 2;
constexpr int kDatabaseNotAssigned = 21;
constexpr int kTransactionNotAssigned = 22;
constexpr int kDatasetOpen = 28;
constexpr int kDatasetClosed = 29;
constexpr int kQueryEmpty = 37;
constexpr int kFieldNotFound = 41;
constexpr int kSqlParseError = 51;

} // namespace db
