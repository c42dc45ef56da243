#include "download/testing/memory_transport.h"

#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "download/http_errors.h"

namespace netupdate::download::testing {

namespace {

class MemoryTransport : public Transport {
 public:
  MemoryTransport(MemoryScript script, std::shared_ptr<MemoryRecord> record)
      : m_script(std::move(script)), m_record(std::move(record)) {}

  std::size_t read(char* data, std::size_t size, int) override {
    if (++m_record->reads == m_script.failAtRead) throw ESocketError(m_script.failCode);
    if (m_position == m_script.response.size()) {
      if (m_script.staysOpen) throw common::Error("Read timed out.");
      return 0;
    }
    const std::size_t take =
        std::min({size, m_script.pieceSize, m_script.response.size() - m_position});
    std::memcpy(data, m_script.response.data() + m_position, take);
    m_position += take;
    return take;
  }

  void write(const char* data, std::size_t size) override {
    if (++m_record->writes == m_script.failAtWrite) throw ESocketError(m_script.failCode);
    m_record->written.append(data, size);
  }

  bool waitReadable(int) override {
    return m_position < m_script.response.size() || !m_script.staysOpen;
  }

  bool idle() override { return m_position == m_script.response.size() && m_script.staysOpen; }

  void close() noexcept override { m_record->closed = true; }

 private:
  MemoryScript m_script;
  std::shared_ptr<MemoryRecord> m_record;
  std::size_t m_position = 0;
};

}  // namespace

std::unique_ptr<Transport> MemoryConnector::connect(const std::string&, std::uint16_t, int) {
  if (m_records.size() >= m_scripts.size()) throw ESocketError(kWsaConnectionRefused);
  auto record = std::make_shared<MemoryRecord>();
  m_records.push_back(record);
  return std::make_unique<MemoryTransport>(m_scripts[m_records.size() - 1], record);
}

}  // namespace netupdate::download::testing
