// UtilitySwift::processesToJSON: writing the process-list document.
#include <nlohmann/json.hpp>

#include "common/host.h"
#include "platform/ns_workspace.h"
#include "platform/unicode_text.h"
#include "utility/utility_swift.h"

namespace osxnatives {

std::optional<std::string> UtilitySwift::processesToJSON(const ProcessList& processes) {
  if (processes.empty()) {
    return std::nullopt;
  }
  const std::string host_name = CanonicalDecomposition(
      platform::Get<platform::NSWorkspace>().currentApplication().localizedName.value_or(""));

  // Insertion order keeps every object in the order its members are listed
  // above; readers treat the order as insignificant.
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  array.get_ref<nlohmann::ordered_json::array_t&>().reserve(processes.size());
  for (const auto& process : processes) {
    if (process->localizedName && CanonicalDecomposition(*process->localizedName) == host_name) {
      continue;
    }
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object.get_ref<nlohmann::ordered_json::object_t&>().reserve(6);
    if (process->pid) {
      object["pid"] = *process->pid;
    }
    if (process->localizedName) {
      object["processName"] = *process->localizedName;
    }
    if (process->parentProcessName) {
      object["parentProcessName"] = *process->parentProcessName;
    }
    if (process->processPath) {
      object["processPath"] = *process->processPath;
    }
    object["processType"] = DocumentText(process->processType);
    object["state"] = DocumentText(process->state);
    array.push_back(std::move(object));
  }
  nlohmann::ordered_json document = nlohmann::ordered_json::object();
  document["processes"] = std::move(array);
  try {
    return document.dump(2);
  } catch (const nlohmann::json::exception& e) {
    Log(std::string("Error serializing JSON: ") + e.what(), "error");
    return std::nullopt;
  }
}

}  // namespace osxnatives
