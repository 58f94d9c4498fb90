"""Who may ask: the access policy and the Host check end to end.

Clients on this machine reach the daemon through the internal port (the USB tunnel, class
INTERNAL_CONNECTION_8000). A client connecting from 127.0.0.2 is a plain network client
(NON_TLS_CONNECTION): loopback only counts as internal for 127.0.0.1."""

from conftest import ALTERNATE, INTERNAL, INTERNAL2, PUBLIC

NETWORK_CLIENT = "127.0.0.2"
FORBIDDEN = b"Connection forbidden"


def request(camera, method, path, role=INTERNAL, source=None, body=None):
    status, _, data = camera.request(method, path, role=role, source=source, body=body)
    return status, data


def test_request_without_host(camera):
    reply = camera.raw(b"GET /zq/version HTTP/1.0\r\n\r\n")
    assert reply.startswith(b"HTTP/1.1 403 ") and FORBIDDEN in reply, reply[:80]
    assert "No host header in request" in camera.stderr()


def test_host_header_names(camera):
    ok = ["127.0.0.1", f"localhost:{camera.ports[INTERNAL]}",
          "192.168.72.1",   # the access-point address of the simulated camera
          "172.23.145.51"]  # derived from the identity text "C3581324512345"
    for host in ok:
        assert camera.get("/zq/version", headers={"Host": host})[0] == 200, host
    camera.zqsim("identity", "set", "ap_address", "10.5.5.9")
    assert camera.get("/zq/version", headers={"Host": "10.5.5.9"})[0] == 200
    for host in ["192.168.72.1", "LOCALHOST", "evil.example", "127.0.0.10", "", "172.23.145.52"]:
        status, _, body = camera.get("/zq/version", headers={"Host": host})
        assert status == 403 and FORBIDDEN in body, host
    err = camera.stderr()
    assert "Couldn't find Host:evil.example" in err
    # Each refusal lists the accepted names.
    assert "    -10.5.5.9" in err and "    -127.0.0.1" in err and "    -localhost" in err
    assert "    -172.23.145.51" in err


def test_methods(camera):
    # Files: GET and HEAD only (the decision table's unit test has every method).
    assert request(camera, "HEAD", "/index.html")[0] == 200
    status, body = request(camera, "PUT", "/index.html", body=b"x")
    assert status == 403 and FORBIDDEN in body
    assert "File access FORBIDDEN - Policy for 'PUT /index.html' from " \
           "INTERNAL_CONNECTION_8000 in mode Access point" in camera.stderr()
    # Routes decide about methods themselves.
    assert request(camera, "DELETE", "/zq/zqControl/status", body=b"")[0] == 200


def test_network_client_by_mode(camera):
    def status_of(path, method="GET"):
        return request(camera, method, path, source=NETWORK_CLIENT)[0]

    # Access point mode: User-Endpoints, which includes updates but not certificates.
    assert status_of("/zq/zqControl/status") == 200
    assert status_of("/zq/zqUpdate") != 403
    assert status_of("/zq/zqCert") == 403
    assert status_of("/index.html") == 200
    assert status_of("/index.html", "POST") == 403
    assert "Handler FORBIDDEN - Policy for 'GET /zq/zqCert' from NON_TLS_CONNECTION in mode " \
           "Access point" in camera.stderr()
    # Every other mode refuses a plain network client everything.
    for mode, name in [(1, "Camera as hub"), (2, "Network mode"), (3, "OTA Update"),
                       (4, "Live Streaming")]:
        camera.zqsim("status", "set", 103, mode)
        assert status_of("/zq/zqControl/status") == 403, mode
        assert f"from NON_TLS_CONNECTION in mode {name}" in camera.stderr()
        # The tunnel goes on.
        assert request(camera, "GET", "/zq/zqCert")[0] != 403, mode


def test_loopback_on_other_ports_has_no_class(camera):
    for role in [PUBLIC, INTERNAL2, ALTERNATE]:
        name = "INTERNAL_CONNECTION_8001" if role == INTERNAL2 else "CONN_SOURCE_UNKNOWN"
        status, body = request(camera, "GET", "/zq/version", role=role)
        assert status == 403 and FORBIDDEN in body, role
        assert f"from {name} in mode Access point" in camera.stderr()
        # A network client on the public port is served.
        assert request(camera, "GET", "/zq/version", role=role, source=NETWORK_CLIENT)[0] == 200


def test_invalid_access_mode_refuses_everything(camera):
    camera.zqsim("status", "set", 103, 7)
    status, body = request(camera, "GET", "/index.html")
    assert status == 403 and FORBIDDEN in body
    err = camera.stderr()
    assert "GET /index.html: Invalid net_mode 7 or source 7" in err
    # An invalid mode is named as a handler refusal, whatever was asked.
    assert "Handler FORBIDDEN - Policy for 'GET /index.html' from INTERNAL_CONNECTION_8000 in " \
           "mode INVALID" in err
    camera.zqsim("status", "set", 103, 0)
    assert request(camera, "GET", "/index.html")[0] == 200
