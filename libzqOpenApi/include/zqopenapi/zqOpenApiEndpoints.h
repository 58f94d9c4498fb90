// The Open API's endpoints under "/tavro" and how a request path finds one.
//
// Every endpoint is a prefix: the endpoint whose text is the longest prefix of the request
// path serves it (and may still refuse a sub-path it does not know). "camera/presets/load"
// goes to "camera/presets", "camera/statex" to "camera/state".
#ifndef ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIENDPOINTS_H_
#define ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIENDPOINTS_H_

#include <array>
#include <span>
#include <string_view>

// The URI prefix the Open API is served under.
inline constexpr std::string_view kZqOpenApiPrefix = "/tavro";

// The endpoints, in the order the handler factory holds them (state, setting, presets,
// stream, webcam, media, version, digital zoom, analytics, keep-alive, control, shutter,
// set and get date and time).
inline constexpr std::array<std::string_view, 14> kZqOpenApiEndpoints = {
    "camera/state",
    "camera/setting",
    "camera/presets",
    "camera/stream",
    "webcam",
    "media",
    "version",
    "camera/digital_zoom",
    "camera/analytics",
    "camera/keep_alive",
    "camera/control",
    "camera/shutter",
    "camera/set_date_time",
    "camera/get_date_time",
};

// The request path relative to "/tavro/" of a local URI: the URI without its first six
// characters; when more than one character remains and it starts with "/", that "/" goes too
// ("/tavro/camera/state" gives "camera/state", "/tavro/" gives "/", "/tavro" gives "").
// A URI shorter than the prefix gives "".
std::string_view zqoa_path_from_uri(std::string_view uri);

// The index in `endpoints` of the longest endpoint the path starts with, or -1. An exact
// match ends the search at once; of two equally long endpoints the earlier wins. Empty
// endpoints never match.
int zqoa_find_endpoint(std::span<const std::string_view> endpoints, std::string_view path);

#endif  // ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIENDPOINTS_H_
