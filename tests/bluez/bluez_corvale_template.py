'''A mock bluetoothd for the BlueZ platform tests.

Loads python-dbusmock's bluez5 template and adds what it lacks:
- adapters with a chosen address, alias, class and power state;
- devices that the next discovery finds (with or without a name and class),
  announced a little after StartDiscovery as bluetoothd does: InterfacesAdded
  for a new device, PropertiesChanged with RSSI for one it already holds;
- devices that bluetoothd already holds but that are out of range;
- a bluetoothd that leaves the bus in the middle of an inquiry;
- an owner of org.bluez that floods an inquiry with devices that never were;
- replies and properties of the wrong type, methods that fail or stall.
StartDiscovery refuses a powered-off adapter, RegisterProfile a record that is
not well-formed XML or a path registered twice, UnregisterProfile a path it
does not hold, as bluetoothd does. dbusmock logs every call (GetMethodCalls).
'''

import os
from xml.etree import ElementTree

import dbus
import dbus.lowlevel
from dbusmock import OBJECT_MANAGER_IFACE, mockobject
from dbusmock.templates import bluez5
from gi.repository import GLib

BUS_NAME = bluez5.BUS_NAME
MAIN_OBJ = bluez5.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MOCK_IFACE = 'org.bluez.Mock'
ADAPTER_IFACE = bluez5.ADAPTER_IFACE
DEVICE_IFACE = bluez5.DEVICE_IFACE

# Re-export the stock Mock methods (AddAdapter, AddDevice, ...).
for _name in dir(bluez5):
    _fn = getattr(bluez5, _name)
    if hasattr(_fn, '_dbus_interface') and _fn._dbus_interface == MOCK_IFACE:
        globals()[_name] = _fn


def RegisterProfile(manager, path, uuid, options):
    '''Refuses what bluetoothd would refuse: a record that is not XML.'''
    record = options.get('ServiceRecord')
    if record is not None:
        try:
            ElementTree.fromstring(str(record).encode('utf-8'))
        except ElementTree.ParseError as e:
            raise dbus.exceptions.DBusException(
                'Invalid service record: ' + str(e), name='org.bluez.Error.InvalidArguments')
    if str(path) in manager.profiles:
        raise dbus.exceptions.DBusException('Already Exists', name='org.bluez.Error.AlreadyExists')
    manager.profiles.add(str(path))


def UnregisterProfile(manager, path):
    if str(path) not in manager.profiles:
        raise dbus.exceptions.DBusException('Does Not Exist', name='org.bluez.Error.DoesNotExist')
    manager.profiles.remove(str(path))


def load(mock, parameters):
    bluez5.load(mock, parameters)
    mock.in_range = {}        # adapter path -> [(address, name, class)]
    mock.vanish_after = None  # ms after StartDiscovery
    mock.flood = 0            # devices announced by the next StartDiscovery
    bluez = mockobject.objects['/org/bluez']
    bluez.profiles = set()
    bluez.AddMethods(bluez5.PROFILE_MANAGER_IFACE, [
        ('RegisterProfile', 'osa{sv}', '', RegisterProfile),
        ('UnregisterProfile', 'o', '', UnregisterProfile),
    ])


def _device_path(adapter_path, address):
    return adapter_path + '/dev_' + address.replace(':', '_').upper()


def _device_props(adapter_path, address, name, cls, rssi):
    props = {
        'Address': dbus.String(address, variant_level=1),
        'AddressType': dbus.String('public', variant_level=1),
        'Alias': dbus.String(name or address.replace(':', '-'), variant_level=1),
        'Paired': dbus.Boolean(False, variant_level=1),
        'Trusted': dbus.Boolean(False, variant_level=1),
        'Connected': dbus.Boolean(False, variant_level=1),
        'Adapter': dbus.ObjectPath(adapter_path, variant_level=1),
        'UUIDs': dbus.Array([], signature='s', variant_level=1),
    }
    if name:
        props['Name'] = dbus.String(name, variant_level=1)
    if cls >= 0:
        props['Class'] = dbus.UInt32(cls, variant_level=1)
    if rssi is not None:
        props['RSSI'] = dbus.Int16(rssi, variant_level=1)
    return props


def _add_device_object(adapter_path, address, name, cls, rssi):
    path = _device_path(adapter_path, address)
    props = _device_props(adapter_path, address, name, cls, rssi)
    manager = mockobject.objects['/']
    manager.AddObject(path, DEVICE_IFACE, props, [
        ('Connect', '', '', ''),
        ('Disconnect', '', '', ''),
        ('Pair', '', '', ''),
    ])
    manager.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                       [dbus.ObjectPath(path), {DEVICE_IFACE: props}])
    return path


def _announce(adapter_path):
    manager = mockobject.objects['/']
    for address, name, cls in manager.in_range.get(adapter_path, []):
        path = _device_path(adapter_path, address)
        if path in mockobject.objects:
            device = mockobject.objects[path]
            device.props[DEVICE_IFACE]['RSSI'] = dbus.Int16(-50, variant_level=1)
            device.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as', [
                DEVICE_IFACE, {'RSSI': dbus.Int16(-50, variant_level=1)}, []])
        else:
            _add_device_object(adapter_path, address, name, cls, -60)
    return False


def _flood(adapter_path, count):
    # Sent before StartDiscovery returns, so they all stand in the caller's
    # queue when the inquiry begins. No objects stay behind them, and each
    # carries more than a device's properties: a long Alias, a 4 KiB blob.
    manager = mockobject.objects['/']
    blob = dbus.ByteArray(bytes(4096), variant_level=1)
    for i in range(count):
        address = '00:0D:18:%02X:%02X:%02X' % (i >> 16 & 0xFF, i >> 8 & 0xFF, i & 0xFF)
        props = _device_props(adapter_path, address, 'flood %d' % i, 0x5A020C, -70)
        props['Alias'] = dbus.String('a' * 300, variant_level=1)
        props['ServiceData'] = dbus.Dictionary({'blob': blob}, signature='sv', variant_level=1)
        # Straight onto the bus: dbusmock's EmitSignal would log every one.
        signal = dbus.lowlevel.SignalMessage('/', OBJECT_MANAGER_IFACE, 'InterfacesAdded')
        signal.append(dbus.ObjectPath(_device_path(adapter_path, address)),
                      {DEVICE_IFACE: props}, signature='oa{sa{sv}}')
        manager.connection.send_message(signal)


def _vanish():
    # bluetoothd dies: its name leaves the bus with it.
    os._exit(0)


def StartDiscovery(adapter):
    props = adapter.props[ADAPTER_IFACE]
    if not props['Powered']:
        raise dbus.exceptions.DBusException('Resource Not Ready', name='org.bluez.Error.NotReady')
    if props.get('DiscoveryFilter') is None:
        raise dbus.exceptions.DBusException('No filter', name='org.bluez.Error.Failed')
    props['Discovering'] = dbus.Boolean(True, variant_level=1)
    manager = mockobject.objects['/']
    _flood(adapter.path, manager.flood)
    manager.flood = 0
    GLib.timeout_add(30, _announce, adapter.path)
    if manager.vanish_after is not None:
        GLib.timeout_add(manager.vanish_after, _vanish)


def StopDiscovery(adapter):
    adapter.props[ADAPTER_IFACE]['Discovering'] = dbus.Boolean(False, variant_level=1)


@dbus.service.method(MOCK_IFACE, in_signature='sssub', out_signature='s')
def AddRadio(self, hci, address, alias, cls, powered):
    '''An adapter /org/bluez/<hci> with this address, alias, class and power.'''
    path = bluez5.AddAdapter(self, hci, alias)
    adapter = mockobject.objects[path]
    adapter.UpdateProperties(ADAPTER_IFACE, {
        'Address': dbus.String(address, variant_level=1),
        'Class': dbus.UInt32(cls, variant_level=1),
        'Powered': dbus.Boolean(powered, variant_level=1),
    })
    adapter.AddMethods(ADAPTER_IFACE, [
        ('StartDiscovery', '', '', StartDiscovery),
        ('StopDiscovery', '', '', StopDiscovery),
    ])
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sssi', out_signature='')
def AddInRange(self, hci, address, name, cls):
    '''A device that the next discovery on <hci> finds. An empty name: none;
    a negative class: none.'''
    self.in_range.setdefault('/org/bluez/' + hci, []).append((address, name, cls))


@dbus.service.method(MOCK_IFACE, in_signature='sssi', out_signature='s')
def AddKnown(self, hci, address, name, cls):
    '''A device bluetoothd already holds (no RSSI: not heard now).'''
    return _add_device_object('/org/bluez/' + hci, address, name, cls, None)


@dbus.service.method(MOCK_IFACE, in_signature='u', out_signature='')
def VanishDuringDiscovery(self, delay_ms):
    '''The next StartDiscovery is followed, after delay_ms, by bluetoothd's end.'''
    self.vanish_after = delay_ms


@dbus.service.method(MOCK_IFACE, in_signature='u', out_signature='')
def FloodDuringDiscovery(self, count):
    '''The next StartDiscovery announces `count` devices with distinct paths
    and addresses (00:0D:18:xx:xx:xx, counting from 0) that bluetoothd does
    not hold.'''
    self.flood = count


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def Retype(self, path, interface, name):
    '''Gives a property a value of another type (a string becomes a number,
    anything else a string).'''
    obj = mockobject.objects[path]
    old = obj.props[interface][name]
    new = dbus.UInt32(7, variant_level=1) if isinstance(old, dbus.String) \
        else dbus.String('seven', variant_level=1)
    obj.props[interface][name] = new


@dbus.service.method(MOCK_IFACE, in_signature='ssss', out_signature='')
def SetText(self, path, interface, name, value):
    '''Gives a property a string value of our choosing.'''
    mockobject.objects[path].props[interface][name] = dbus.String(value, variant_level=1)


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def Unset(self, path, interface, name):
    '''Removes a property.'''
    del mockobject.objects[path].props[interface][name]


@dbus.service.method(MOCK_IFACE, in_signature='ssssss', out_signature='')
def Replace(self, path, interface, method, in_sig, out_sig, code):
    '''Replaces a method of an object: wrong reply types, errors, stalls.'''
    mockobject.objects[path].AddMethod(interface, method, in_sig, out_sig, code)
