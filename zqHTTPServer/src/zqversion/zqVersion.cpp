#include "zqversion/zqVersion.h"

#include <civetweb.h>

#include <string>

#include "server/zqConnection.h"
#include "zqCtrlD.h"

int zqVersionHandler(mg_connection* conn, void* /*cbdata*/) {
  // Clients check the interface version the daemon was written against, not the build of the
  // library it happens to link.
  static const std::string kBody = std::string("{ \"CivetWeb version\": \"") + "1.11" + "\" }\n";
  std::string answer;
  http_output_success_header(answer);
  http_output_content_length(answer, kBody.size());
  answer += kBody;
  zq_conn_write(conn, answer.data(), answer.size());
  return 1;
}
