#include "download/byte_sink.h"

#include <algorithm>

namespace netupdate::download {

void StringSink::write(const char* data, std::size_t size) {
  m_received += size;
  const std::size_t room = m_limit - std::min(m_limit, m_text.size());
  m_text.append(data, std::min(size, room));
}

}  // namespace netupdate::download
