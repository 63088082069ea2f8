#pragma once

class QGroupBox;

namespace vigilo {

class AppSettings;
class FormWindow;
class MqttSettingsService;

// "Home Assistant and MQTT": the switch, the broker address, the user name,
// the password (to the credential store when its edit is finished, never
// shown back), the commands switch and "Test connection". Each field writes
// its setting when its edit is finished; the section follows changes made
// elsewhere. Without `service` the password and the test are left out.
QGroupBox* mqttSettingsSection(FormWindow& window, AppSettings& settings, MqttSettingsService* service);

}  // namespace vigilo
