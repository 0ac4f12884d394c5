// A script client of LumoItems in JScript: objects by program id, properties through Add and
// the default member, an object held by a property, Enumerator walks, ToString with and
// without its argument, XML out and back in, and an error caught. Exits 1 on a mismatch.
var failures = 0;
function check(condition, what) {
    if (!condition) {
        WScript.Echo("FAILED: " + what);
        failures++;
    }
}

var item = new ActiveXObject("LumoItems.LumoItem");
item.GUID = "5a1b2c3d-0000-4000-8000-00000000002a";
item.SchemaType = "Contact";
item.Properties.Add("Anna", "Name", "urn:example");
var age = 42, ns = "urn:example";
item.Properties.Add(age, "Age", ns);
check(item.Properties.Count == 2, "two properties");
check(item.Properties.Item("Age", ns) == 42, "Age read back");

var address = new ActiveXObject("LumoItems.LumoItem");
address.SchemaType = "PostalAddress";
item.Properties.Add(address, "Address", ns);

var names = "";
for (var e = new Enumerator(item.Properties); !e.atEnd(); e.moveNext())
    names += e.item().Name + ";";
check(names == "Address;Age;Name;", "Enumerator in key order: " + names);

var collection = new ActiveXObject("LumoItems.LumoEnum");
collection.Add(item, "anna");
collection.Add(new ActiveXObject("LumoItems.LumoItem"));
var count = 0;
for (var m = new Enumerator(collection); !m.atEnd(); m.moveNext())
    count++;
check(count == 2, "Enumerator over the collection");

check(item.ToString().indexOf("SchemaType: Contact") >= 0, "ToString without its argument");
check(item.ToString(1).substring(0, 12) == "    LumoItem", "ToString indented one level");

var xml = collection.SaveXML();
var loaded = new ActiveXObject("LumoItems.LumoEnum");
loaded.LoadXML(xml);
check(loaded.Count == 2, "the collection loaded back");
check(loaded.SaveXML() == xml, "the same document again");
var itemXml = item.SaveXML();
var itemBack = new ActiveXObject("LumoItems.LumoItem");
itemBack.LoadXML(itemXml);
check(itemBack.SaveXML() == itemXml, "an item holding an item loaded back");

try {
    item.LoadXML("<enum/>");
    check(false, "LoadXML of a collection document into an item fails");
} catch (error) {
    check((error.number >>> 0) == 0x80045D53, "the library's error status, got " + (error.number >>> 0).toString(16));
    check(error.description.indexOf("<errorentry>") >= 0, "the error document as description");
}

if (failures > 0)
    WScript.Quit(1);
WScript.Echo("ItemClient.js: all checks passed");
