// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/PageUpdate.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "collector/Exports.h"

namespace {

using Json = nlohmann::ordered_json;

Json RowJson(const StoredResult& row, const std::vector<std::string>& known) {
    return {{"id", row.Id},
            {"received", row.ReceivedLocal},
            {"station", row.Station},
            {"group", row.Group},
            {"user", row.User},
            {"points", Json::parse(PointsText(row.Res, '.'))},
            {"mark", row.Mark},
            {"known", std::binary_search(known.begin(), known.end(), row.Station)},
            // the page marks results that reached it only through a station's journal
            {"source", row.Source},
            {"collector", row.Collector}};
}

}  // namespace

std::string PageUpdateJson(const PageUpdate& update) {
    Json rows = Json::array();
    for (const StoredResult& row : update.Rows) {
        rows.push_back(RowJson(row, update.KnownStations));
    }
    Json refused = Json::array();
    for (const auto& refusal : update.Refused) {
        refused.push_back({{"address", refusal.Address},
                           {"reason", to_string(refusal.Reason)},
                           {"count", refusal.Count}});
    }
    Json logins = Json::array();
    for (const auto& attempts : update.Logins) {
        logins.push_back({{"address", attempts.Address}, {"wrong", attempts.Wrong}});
    }
    Json log = Json::array();
    for (const VisibilityRecord& record : update.VisibilityLog) {
        log.push_back({{"at", record.AtLocal},
                       {"who", record.Who},
                       {"action", record.Action},
                       {"target", record.Target},
                       {"rows", record.Rows}});
    }
    Json page = {{"today", update.Today}};
    page[update.GroupsComplete ? "groups" : "newGroups"] = update.Groups;
    page["rows"] = std::move(rows);
    page["more"] = update.More;
    page["refused"] = std::move(refused);
    page["logins"] = std::move(logins);
    page["version"] = update.VisibilityVersion;
    page["log"] = std::move(log);
    if (update.GroupsComplete) {
        page["collectors"] = update.Collectors;
    }
    return page.dump(-1, ' ', false, Json::error_handler_t::replace);
}
