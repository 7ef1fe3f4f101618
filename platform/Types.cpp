#include "platform/Types.h"

namespace plat {

const char* StatusText(Status status) {
  switch (status) {
    case Status::Ok: return "ok";
    case Status::InvalidArgument: return "invalid argument";
    case Status::NotFound: return "not found";
    case Status::OutOfResources: return "not enough resources";
    case Status::IoError: return "input/output error";
    case Status::BadFormat: return "malformed data";
    case Status::TooLarge: return "size beyond limits";
    case Status::Unsupported: return "not supported";
    case Status::Busy: return "busy";
  }
  return "unknown status";
}

}  // namespace plat
