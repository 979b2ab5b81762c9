#include "platform/string_table.h"

#include <cstdarg>
#include <cstdio>
#include <unordered_map>

namespace platform {
namespace {

const std::unordered_map<int, const char*>& Table() {
  static const std::unordered_map<int, const char*> table = {
      {80, "Time"},
      {89, "Size"},
      {90, "Date"},
      {100, "%01d%01d:%01d%01d:%01d%01d/%01d%01d:%01d%01d:%01d%01d"},
      {101, "Program will be terminated due to an error. If you desktop is not set to 16-bit or "
            "32-bit color, retry after change to 16-bit or 32-bit color."},
      {102, "Failed to create a DirectDraw object supporting IDirectDraw7 interface. This program "
            "requires DirectX 7.0 or above."},
      {103, "Network socket initialize failed !!!"},
      {104, "TOLVA"},
      {114, "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\Ethernet"},
      {115, "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\Telephone"},
      {117, "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book"},
      {121, "Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Image"},
      {122, "Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video"},
      {124, "Video record file save folder path !!!"},
      {125, "Capture Image file save folder path !!!"},
      {126, "Please, The Alias name to confirm."},
      {127, "Please, The User name to confirm."},
      {128, "Please, The Password to confirm."},
      {130, "Please, The IP Address to confirm."},
      {131, "Please, The input password is incorrect. Input password again."},
      {132, "Please, The Country code to confirm."},
      {133, "Please, The Area code to confirm."},
      {134, "Please, The Major code to confirm."},
      {135, "Please, The Minor code to confirm."},
      {136, "Please, To select an Alias Name."},
      {142, "E-mail & Call Service Setting is success complete. !!!"},
      {143, "Only the admin will be able to use the E-mail and Call service."},
      {144, "Software\\veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Image"},
      {145, "Software\\veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video"},
      {148, "\t\tWarning\nAlarm event occured at a remote-site (DVR-%d, Sensor-%d ). \nIf you want "
            "to release alarm event, select 'OK'.\n"},
      {149, "\t\tWarning\nAlarm event occured at a remote-site (DVR-%d, Motion Ch-%d ). \nIf you "
            "want to release alarm event, select 'OK'.\n"},
      {153, "About for Kaviro"},
      {154, "Kaviro - Address Book"},
      {157, "Kaviro - Modify to Address book"},
      {158, "Kaviro - Add to Address Book"},
      {161, "Kaviro - Setup"},
      {162, "Kaviro - Time to time playback"},
      {167, "Request DVR Status && E-Mail, Call Service"},
      {168, "Send E-Mail, DVR-ID, Call Service Number to DVR."},
      {169, "Request a record month list of recently year"},
      {172, "Request a select record file in the DVR."},
      {173, "Request a select record status in the DVR."},
      {174, "Request a select day of Logfile in the DVR."},
      {177, "[EVENT] Current Image Capture !!!"},
      {180, "[EVENT] Live Stream Stop"},
      {181, "[ALERT] The admin is \nusing the DVR. network\ndisconnect."},
      {182, "[ALERT] DVR%d, Ch.%d Motion Detection"},
      {183, "[ALERT] DVR%d, Sensor #%d Detection"},
      {184, "[EVENT] DVR Logfile View"},
      {185, "[EVENT] DVR Status View"},
      {186, "[EVENT] DVR Status Setting"},
      {187, "[EVENT] 4x4 Align Mode"},
      {188, "[EVENT] 3x3 Align Mode"},
      {189, "[EVENT] 2x2 Align Mode"},
      {190, "[EVENT] 1x1 Align Mode"},
      {191, "[EVENT] DVR%d Selected"},
      {193, "[EVENT] Live Stream Start"},
      {194, "[EVENT] PTZ Focus Control"},
      {195, "[EVENT] PTZ Zoom Control"},
      {196, "[EVENT] PTZ Move Control"},
      {197, "[EVENT] Addressbook View"},
      {198, "[NOTICE] Network connect failed"},
      {199, "[EVENT] Select reocrd file"},
      {200, "[EVENT] Record Stream Start"},
      {201, "[EVENT] Record Stream Stop"},
      {202, "[EVENT] Fast Forward play"},
      {203, "[EVENT] Fast Reverse play"},
      {204, "[EVENT] Forward Play (x1)"},
      {205, "[EVENT] Reverse Play (x1)"},
      {206, "[EVENT] Frame by frame"},
      {207, "[EVENT] Frame by back"},
      {208, "[EVENT] Stop"},
      {209, "[EVENT] Time to time Playback"},
      {210, "[EVENT] Record file download"},
      {211, "[EVENT] Application Setup"},
      {212, "[EVENT] Capture image Printing"},
      {213, "[NOTICE] Permission denied.\nNetwork disconnect."},
      {214, "[NOTICE] Remote live view"},
      {215, "[NOTICE] Remote search & playback"},
      {216, "[NOTICE] Local Mpeg player"},
      {217, "[NOTICE] Removable HDD Mpeg player"},
      {218, "[EVENT] Play Speed x1"},
      {219, "[EVENT] Play Speed x2"},
      {220, "[EVENT] Play Speed x4"},
      {221, "[EVENT] Play Speed x8"},
      {222, "[EVENT] Play Speed x16"},
      {223, "Software\\Veldmark\\Kaviro\\1.0.0.0\\Local Setting"},
      {226, "[ALERT] The admin is connecting in the DVR."},
      {227, "[ALERT] The admin is playing a record file."},
      {228, "[ALERT] The DVR connection of number is under exceeding."},
      {229, "[ALERT] The modem user connects and video frame comes to be low."},
      {293, "[ALERT] The selected file is not playing."},
      {295, "[EVENT] Ch.%d 1X1 Align Mode"},
      {326, "[NOTICE] The username was incorrect."},
      {327, "[NOTICE] The password was incorrect."},
      {328, "[NOTICE] Logon failed."},
      {332, "The video card which is in the process of using\nefficiency is low restricts a dvr "
            "connection possibility."},
      {333, "[NOTICE] The remote dvr's modem is busy."},
      {334, "[EVENT] Play Speed x2"},
      {335, "[EVENT] Play Speed x1"},
      {336, "[EVENT] Play Speed x1/2"},
      {337, "[EVENT] Play Speed x1/4"},
      {338, "[EVENT] Play Speed x1/8"},
      {345, "Remote DVR, Connecting... "},
      {346, "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\DomainName"},
  };
  return table;
}

}  // namespace

const char* LoadString(int id) {
  const auto& table = Table();
  const auto it = table.find(id);
  return it == table.end() ? "" : it->second;
}

std::string FormatString(int id, ...) {
  va_list args;
  va_start(args, id);
  char text[1024];
  std::vsnprintf(text, sizeof text, LoadString(id), args);
  va_end(args);
  return text;
}

}  // namespace platform
