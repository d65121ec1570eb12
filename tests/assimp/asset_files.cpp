#include "asset_files.h"

#include "tests/platform/test_files.h"

namespace assettest {

std::string writeObj(const std::string& folder, bool mtl, const std::string& texture) {
    const std::string obj = folder + "/model.obj";
    testfiles::writeFile(obj,
                         "mtllib model.mtl\n"
                         "o Quad\n"
                         "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                         "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                         "vn 0 0 1\n"
                         "usemtl red\n"
                         "f 1/1/1 2/2/1 3/3/1 4/4/1\n"
                         "o Tri\n"
                         "v 2 0 0\nv 3 0 0\nv 2 1 -1\n"
                         "usemtl red\n"
                         "f 5 6 7\n");
    if (mtl)
        testfiles::writeFile(folder + "/model.mtl",
                             "newmtl red\nKd 1 0 0\nmap_Kd " + texture + "\n");
    testfiles::writeFile(folder + "/tex.png", "\x89PNG\r\n\x1a\n");
    return obj;
}

std::string writePly(const std::string& folder) {
    const std::string ply = folder + "/model.ply";
    testfiles::writeFile(ply,
                         "ply\nformat ascii 1.0\n"
                         "element vertex 7\n"
                         "property float x\nproperty float y\nproperty float z\n"
                         "element face 2\n"
                         "property list uchar int vertex_indices\n"
                         "end_header\n"
                         "0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 4 5\n4 4 5\n3 5 5\n"
                         "4 0 1 2 3\n3 4 5 6\n");
    return ply;
}

std::string writeStl(const std::string& folder) {
    const std::string stl = folder + "/model.stl";
    testfiles::writeFile(stl,
                         "solid model\n"
                         "facet normal 0 0 1\nouter loop\n"
                         "vertex 1 2 3\nvertex 2 2 3\nvertex 1 3 3\n"
                         "endloop\nendfacet\n"
                         "facet normal 0 0 1\nouter loop\n"
                         "vertex 2 2 3\nvertex 2 3 3\nvertex 1 3 3\n"
                         "endloop\nendfacet\n"
                         "endsolid model\n");
    return stl;
}

std::string writeCollada(const std::string& folder) {
    const std::string dae = folder + "/model.dae";
    testfiles::writeFile(dae,
                         R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><unit name="centimeter" meter="0.01"/><up_axis>Y_UP</up_axis></asset>
  <library_cameras><camera id="cam" name="cam"><optics><technique_common><perspective>
    <xfov>60</xfov><aspect_ratio>1.5</aspect_ratio><znear>0.1</znear><zfar>100</zfar>
  </perspective></technique_common></optics></camera></library_cameras>
  <library_lights><light id="lamp" name="lamp"><technique_common><point>
    <color>2 1 0.5</color></point></technique_common></light></library_lights>
  <library_effects><effect id="fx"><profile_COMMON><technique sid="t"><lambert>
    <diffuse><color>0 0.5 1 1</color></diffuse></lambert></technique></profile_COMMON></effect>
  </library_effects>
  <library_materials><material id="blue" name="blue"><instance_effect url="#fx"/></material>
  </library_materials>
  <library_geometries><geometry id="g" name="g"><mesh>
    <source id="p"><float_array id="pa" count="12">0 0 0 1 0 0 1 1 0 0 1 0</float_array>
      <technique_common><accessor source="#pa" count="4" stride="3"><param name="X" type="float"/>
      <param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common>
    </source>
    <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
    <polylist material="m" count="1"><input semantic="VERTEX" source="#v" offset="0"/>
      <vcount>4</vcount><p>0 1 2 3</p></polylist>
  </mesh></geometry></library_geometries>
  <library_animations><animation id="a">
    <source id="t"><float_array id="ta" count="2">0 2</float_array><technique_common>
      <accessor source="#ta" count="2" stride="1"><param name="TIME" type="float"/></accessor>
    </technique_common></source>
    <source id="o"><float_array id="oa" count="6">10 0 0 10 40 0</float_array><technique_common>
      <accessor source="#oa" count="2" stride="3"><param name="X" type="float"/>
      <param name="Y" type="float"/><param name="Z" type="float"/></accessor>
    </technique_common></source>
    <sampler id="sm"><input semantic="INPUT" source="#t"/><input semantic="OUTPUT" source="#o"/>
    </sampler>
    <channel source="#sm" target="Parent/location"/>
  </animation></library_animations>
  <library_visual_scenes><visual_scene id="s">
    <node id="Parent" name="Parent"><translate sid="location">10 0 0</translate>
      <node id="Child" name="Child"><translate>0 20 0</translate>
        <instance_geometry url="#g"><bind_material><technique_common>
          <instance_material symbol="m" target="#blue"/></technique_common></bind_material>
        </instance_geometry>
      </node>
    </node>
    <node id="Cam" name="Cam"><translate>0 0 50</translate><instance_camera url="#cam"/></node>
    <node id="Lamp" name="Lamp"><translate>0 30 0</translate><instance_light url="#lamp"/></node>
  </visual_scene></library_visual_scenes>
  <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)");
    return dae;
}

}  // namespace assettest
