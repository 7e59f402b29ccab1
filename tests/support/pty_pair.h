// A pseudo-terminal pair standing in for a serial line: the program opens the slave as a
// COM port; the test talks through the master.
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  // Makes dir/name a link to the slave, as $VEQ_COM_DIR/COMn.
  void LinkAs(const std::string& dir, const std::string& name) const;
  // Writes on the master side, for the program to read from the port; false when not all
  // of it went out within five seconds (nobody reading, output stopped).
  bool Write(const std::string& bytes);
  bool Write(const char* bytes, std::size_t size) { return Write(std::string(bytes, size)); }
  // Reads what the program wrote, until count bytes came or timeoutMs passed with nothing
  // new.
  std::string Read(std::size_t count, int timeoutMs);
  // Closes the slave end the pair keeps open, so only the program holds it.
  void ReleaseSlave();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace testsupport
